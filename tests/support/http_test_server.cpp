// The loopback HTTP(S) test server over cpp-httplib.
#include "tests/support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::string CVQTestHttpServer::Request::Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

bool CVQTestHttpServer::Request::HasHeader(const std::string& name) const {
    return headers.find(name) != headers.end();
}

CVQTestHttpServer::CVQTestHttpServer() : m_server(std::make_unique<httplib::Server>()) {
    Init();
}

CVQTestHttpServer::CVQTestHttpServer(const std::string& certFile, const std::string& keyFile)
    : m_server(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
      m_secure(true) {
    Init();
}

CVQTestHttpServer::~CVQTestHttpServer() {
    Stop();
}

void CVQTestHttpServer::Init() {
    m_server->set_keep_alive_max_count(1000000);
    m_server->set_tcp_nodelay(true);     // header and body leave at once, without a delayed ACK
    m_server->set_keep_alive_timeout(1); // Stop waits for idle connections this long
    m_server->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_lock);
        m_requests.push_back({req.method, req.target, req.headers, req.body, req.remote_port});
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

void CVQTestHttpServer::Get(const std::string& pattern, Handler handler) {
    m_server->Get(pattern, std::move(handler));
}

// The body of a POST is read after the request was recorded; it joins its record here.
void CVQTestHttpServer::Post(const std::string& pattern, Handler handler) {
    m_server->Post(pattern, [this, handler = std::move(handler)](const httplib::Request& req,
                                                                 httplib::Response& res) {
        {
            std::lock_guard lock(m_lock);
            for (auto it = m_requests.rbegin(); it != m_requests.rend(); ++it) {
                if (it->method == "POST" && it->target == req.target && it->body.empty()) {
                    it->body = req.body;
                    break;
                }
            }
        }
        handler(req, res);
    });
}

void CVQTestHttpServer::AnswerEverything(std::string body) {
    Get(".*", [body = std::move(body)](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "text/plain");
    });
}

void CVQTestHttpServer::Content(const std::string& path, std::string body, std::string contentType,
                                std::string lastModified) {
    Get(path,
        [body = std::move(body), contentType = std::move(contentType),
         lastModified = std::move(lastModified)](const httplib::Request&, httplib::Response& res) {
            if (!lastModified.empty())
                res.set_header("Last-Modified", lastModified);
            res.set_content(body, contentType);
        });
}

bool CVQTestHttpServer::Start() {
    if (!m_server->is_valid())
        return false;
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int i = 0; i < 500 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return m_server->is_running();
}

void CVQTestHttpServer::Stop() {
    if (!m_thread.joinable())
        return;
    m_server->stop();
    m_thread.join();
}

std::string CVQTestHttpServer::Url(std::string_view path) const {
    return std::string(m_secure ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) +
           std::string(path);
}

std::vector<CVQTestHttpServer::Request> CVQTestHttpServer::Requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}

std::size_t CVQTestHttpServer::CountRequests(std::string_view target) const {
    std::lock_guard lock(m_lock);
    std::size_t count = 0;
    for (const Request& request : m_requests)
        count += request.target == target;
    return count;
}

void CVQTestHttpServer::ClearRequests() {
    std::lock_guard lock(m_lock);
    m_requests.clear();
}

void CVQTestHttpServer::IgnoreRange(const httplib::Request& request) {
    // The request object lives in the server's connection loop and is not itself const.
    const_cast<httplib::Request&>(request).ranges.clear();
}

int CVQTestHttpServer::UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}
