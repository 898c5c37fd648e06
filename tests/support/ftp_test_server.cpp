// Starts ftp_server.py with its standard input on a pipe that this process holds open.
#include "tests/support/ftp_test_server.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

CVQTestFtpServer::CVQTestFtpServer(std::string root, std::string user, std::string password)
    : m_root(std::move(root)), m_user(std::move(user)), m_password(std::move(password)) {}

CVQTestFtpServer::~CVQTestFtpServer() {
    Stop();
}

bool CVQTestFtpServer::Start() {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string script = VQ_TEST_SUPPORT_DIR "/ftp_server.py";
    std::vector<char*> argv = {const_cast<char*>("/usr/bin/python3"),
                               script.data(),
                               m_root.data(),
                               m_user.data(),
                               m_password.data(),
                               nullptr};
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    if (spawned != 0) {
        m_pid = -1;
        close(out[0]);
        return false;
    }
    FILE* reader = fdopen(out[0], "r");
    char line[64] = {};
    const bool got =
        reader && fgets(line, sizeof line, reader) && std::sscanf(line, "PORT %d", &m_port) == 1;
    if (reader)
        fclose(reader);
    if (!got)
        Stop();
    return got;
}

void CVQTestFtpServer::Stop() {
    if (m_stdin >= 0)
        close(m_stdin);
    m_stdin = -1;
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

std::string CVQTestFtpServer::Url(const std::string& path) const {
    return "ftp://127.0.0.1:" + std::to_string(m_port) + path;
}
