// Runs velloquin-cli as the user would, in a folder and a home of the test's own.
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

struct CVQCliResult {
    int code = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest();
    // The child, ready to start: the home, configuration and data folders lie in the test's
    // folder, and so does the working folder.
    std::unique_ptr<CVQChildProcess> Cli(std::vector<std::string> args);
    CVQCliResult Run(std::vector<std::string> args);

    std::string Path(const std::string& name) const { return m_dir.File("work/" + name); }
    // The program options the child reads (section "Options" of its registry file).
    void SetOption(const std::string& name, int value);

    CVQTempDir m_dir;
    int m_runs = 0;
};
