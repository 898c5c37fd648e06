// fork and exec with the output sent to files, so that a chatty child never blocks on a pipe.
#include "tests/support/child_process.h"

#include "tests/support/test_files.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

CVQChildProcess::CVQChildProcess(std::string program, std::vector<std::string> args,
                                 std::string outputDir)
    : m_program(std::move(program)), m_args(std::move(args)), m_outputDir(std::move(outputDir)) {}

CVQChildProcess::~CVQChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool CVQChildProcess::Start() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!m_env.count(entry.substr(0, entry.find('='))))
            env.push_back(entry);
    }
    for (const auto& [name, value] : m_env)
        env.push_back(name + "=" + value);
    std::vector<char*> argv{m_program.data()};
    for (std::string& a : m_args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string out = m_outputDir + "/stdout.txt";
    const std::string err = m_outputDir + "/stderr.txt";

    m_pid = ::fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        if (outFd < 0 || errFd < 0 || nullFd < 0)
            ::_exit(127);
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        if (!m_workingDir.empty() && ::chdir(m_workingDir.c_str()) != 0)
            ::_exit(127);
        ::execve(m_program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return true;
}

void CVQChildProcess::Signal(int signal) const {
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CVQChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_pid <= 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int CVQChildProcess::Run(std::chrono::milliseconds timeout) {
    return Start() ? Wait(timeout) : -1;
}

std::string CVQChildProcess::Stdout() const {
    return vq::test::ReadFile(m_outputDir + "/stdout.txt");
}

std::string CVQChildProcess::Stderr() const {
    return vq::test::ReadFile(m_outputDir + "/stderr.txt");
}
