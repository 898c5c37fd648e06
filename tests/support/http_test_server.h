// A loopback HTTP or HTTPS server for network tests: each case scripts its handlers, and every
// request that arrives is recorded before it is handled.
#pragma once

#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CVQTestHttpServer {
public:
    struct Request {
        std::string method;
        std::string target; // path and query as sent
        httplib::Headers headers;
        std::string body;
        int remotePort = 0; // the same port for requests that shared a connection

        std::string Header(const std::string& name) const;
        bool HasHeader(const std::string& name) const;
    };
    using Handler = httplib::Server::Handler;

    // Plain HTTP.
    CVQTestHttpServer();
    // HTTPS with the given certificate and key (PEM files).
    CVQTestHttpServer(const std::string& certFile, const std::string& keyFile);
    ~CVQTestHttpServer();
    CVQTestHttpServer(const CVQTestHttpServer&) = delete;
    CVQTestHttpServer& operator=(const CVQTestHttpServer&) = delete;

    // Handlers take a regular expression over the path, as cpp-httplib does.
    void Get(const std::string& pattern, Handler handler);
    void Post(const std::string& pattern, Handler handler);
    // Answers every GET with the same text: a proxy for any address.
    void AnswerEverything(std::string body);
    // Serves fixed content with an optional Last-Modified text.
    void Content(const std::string& path, std::string body, std::string contentType,
                 std::string lastModified = {});

    // Binds 127.0.0.1 on a free port and serves on a thread of its own.
    bool Start();
    void Stop();
    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https) followed by path.
    std::string Url(std::string_view path) const;

    std::vector<Request> Requests() const;
    std::size_t CountRequests(std::string_view target) const;
    void ClearRequests();

    // cpp-httplib answers a Range header by itself; a handler that wants to send the whole file
    // instead calls this first.
    static void IgnoreRange(const httplib::Request& request);

    // A loopback port on which nothing listens: an address there is never reached directly,
    // so only a proxy can answer for it.
    static int UnusedPort();

    httplib::Server& Raw() { return *m_server; }

private:
    void Init();

    std::unique_ptr<httplib::Server> m_server;
    bool m_secure = false;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_lock;
    std::vector<Request> m_requests;
};
