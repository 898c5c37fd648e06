// A program run as a child process for end-to-end tests: its arguments, environment and folder,
// its output captured in files, signals sent to it, and its exit code.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class CVQChildProcess {
public:
    // outputDir receives stdout.txt and stderr.txt.
    CVQChildProcess(std::string program, std::vector<std::string> args, std::string outputDir);
    ~CVQChildProcess(); // kills a child that still runs

    CVQChildProcess(const CVQChildProcess&) = delete;
    CVQChildProcess& operator=(const CVQChildProcess&) = delete;

    // Added to (or replacing in) the inherited environment.
    void SetEnv(const std::string& name, const std::string& value) { m_env[name] = value; }
    void SetWorkingDir(std::string dir) { m_workingDir = std::move(dir); }

    bool Start();
    void Signal(int signal) const;
    // The exit code, 128 + the signal for a child a signal ended, -1 on time-out.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Runs to the end: Start and Wait.
    int Run(std::chrono::milliseconds timeout = std::chrono::seconds(60));

    std::string Stdout() const;
    std::string Stderr() const;

private:
    std::string m_program;
    std::vector<std::string> m_args;
    std::string m_outputDir;
    std::string m_workingDir;
    std::map<std::string, std::string> m_env;
    pid_t m_pid = -1;
};
