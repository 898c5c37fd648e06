// A loopback FTP server (pyftpdlib in a child process) serving one folder to a named user and to
// anonymous.
#pragma once

#include <string>
#include <sys/types.h>

class CVQTestFtpServer {
public:
    CVQTestFtpServer(std::string root, std::string user, std::string password);
    ~CVQTestFtpServer();
    CVQTestFtpServer(const CVQTestFtpServer&) = delete;
    CVQTestFtpServer& operator=(const CVQTestFtpServer&) = delete;

    // Starts the server and waits for its port; false when python3 or pyftpdlib is missing.
    bool Start();
    void Stop();
    int Port() const { return m_port; }
    // "ftp://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;

private:
    std::string m_root;
    std::string m_user;
    std::string m_password;
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_port = 0;
};
