// The child's environment for the terminal front end's tests.
#include "tests/cli/cli_fixture.h"

#include "platform/registry.h"

#include <filesystem>

CliTest::CliTest() {
    std::filesystem::create_directories(m_dir.File("work"));
}

std::unique_ptr<CVQChildProcess> CliTest::Cli(std::vector<std::string> args) {
    const std::string outDir = m_dir.File("run" + std::to_string(++m_runs));
    std::filesystem::create_directories(outDir);
    auto child = std::make_unique<CVQChildProcess>(VQ_CLI_PATH, std::move(args), outDir);
    child->SetEnv("HOME", m_dir.File("home"));
    child->SetEnv("XDG_CONFIG_HOME", m_dir.File("config"));
    child->SetEnv("XDG_DATA_HOME", m_dir.File("data"));
    child->SetEnv("TERM", "dumb");
    child->SetWorkingDir(m_dir.File("work"));
    return child;
}

CVQCliResult CliTest::Run(std::vector<std::string> args) {
    auto child = Cli(std::move(args));
    CVQCliResult result;
    result.code = child->Run();
    result.out = child->Stdout();
    result.err = child->Stderr();
    return result;
}

void CliTest::SetOption(const std::string& name, int value) {
    CVQRegistry registry(m_dir.File("config/Kestrova/Velloquin.conf"));
    registry.WriteInt("Options", name, value);
    registry.Flush();
}
