// One request at a time over a reused libcurl handle: the connection stays alive between
// requests, the answer's headers decide what happens to the body, the body streams to a handler
// in paced chunks, and stop and skip requests are polled at least every 100 ms.
#pragma once

#include "desktop/net/response_headers.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CVQCookieStore;

// What a session keeps for all its requests.
struct CVQTransferSetup {
    enum ProxyMode { kDirect, kNamedProxy, kEnvironment };

    std::string agent = "Mozilla/4.0";
    int timeoutSeconds = 60; // connect time-out and the time without a byte before giving up
    ProxyMode proxyMode = kDirect;
    std::string proxy;    // "host:port" for kNamedProxy
    std::string ftpProxy; // "host:port" for FTP addresses with kNamedProxy; empty = proxy
    std::string proxyUser;
    std::string proxyPassword;
    CVQCookieStore* cookies = nullptr; // shared by the workers of a run; none = the session's own
};

struct CVQTransferRequest {
    enum Method { kGet, kPost, kInfoOnly };

    std::string url; // absolute, http, https or ftp
    Method method = kGet;
    std::string postBody; // kPost; application/x-www-form-urlencoded unless headers name a type
    std::vector<std::string> headers;
    std::string referrer;
    std::uint64_t resumeFrom = 0; // Range (HTTP) or REST (FTP) from this byte; 0 = whole file
    std::string userName;         // both set: the server's credentials
    std::string password;
    bool ftpMachineListing = false; // an FTP directory address: MLSD instead of LIST
};

enum class VQInterrupt { kNone, kStop, kSkip };
enum class VQBodyAction { kReceive, kIgnore };

struct CVQPacing {
    std::size_t chunkLength = 10240;
    int pauseMs = 0;
};

// The caller's side of a transfer. All calls come on the thread that called Perform.
class CVQTransferHandler {
public:
    virtual ~CVQTransferHandler() = default;
    // The final header block of an HTTP answer (interim and authentication rounds are not
    // shown); for FTP, called before the first byte of the file or, for an empty file, at the
    // end. kIgnore ends the request without reading the body (a short body is drained so that
    // the connection stays usable).
    virtual VQBodyAction OnResponse(const CVQResponseHeaders& headers) = 0;
    // One chunk of the body; false reports a write failure and ends the transfer.
    virtual bool OnBody(const char* data, std::size_t length) = 0;
    // Polled before every chunk and at least every 100 ms while nothing arrives.
    virtual VQInterrupt Interrupt() { return VQInterrupt::kNone; }
    // Read before every chunk, so that a changed speed level takes effect at once.
    virtual CVQPacing Pacing() { return {}; }
};

struct CVQTransferResult {
    enum End {
        kDone,        // the server's answer ended (body received, ignored or empty)
        kFailed,      // the network failed: before the answer or in the middle of the body
        kStopped,     // the project's stop request
        kSkipped,     // the worker's skip request
        kWriteFailed, // the handler could not store a chunk
    };

    End end = kFailed;
    int curlCode = 0; // CURLcode of the network layer, 0 when it reported none
    std::string errorText;
    bool answered = false;                    // OnResponse was called
    std::uint64_t bodyBytes = 0;              // bytes handed to OnBody
    int status = 0;                           // HTTP status of the final answer
    std::optional<std::uint64_t> infoSize;    // kInfoOnly on FTP: the file's size
    std::optional<std::int64_t> infoFileTime; // kInfoOnly on FTP: its modification time (UTC)
};

class CVQTransfer {
public:
    static constexpr std::size_t kMaxChunk = 10240;
    static constexpr int kPollMs = 100;

    CVQTransfer();
    ~CVQTransfer();
    CVQTransfer(const CVQTransfer&) = delete;
    CVQTransfer& operator=(const CVQTransfer&) = delete;

    // Creates the handles; false when libcurl cannot give them.
    bool Open(const CVQTransferSetup& setup);
    void Close();
    bool IsOpen() const;

    CVQTransferResult Perform(const CVQTransferRequest& request, CVQTransferHandler& handler);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

namespace vq {

// Initialises libcurl once for the whole program; safe to call from any thread.
void InitNetworkLibrary();

// Chunk length and pause of a speed level (clamped to 1-10): level x 1024 bytes and
// (10 - level) x 20 + 10 ms; at level 10 noPacing leaves the pause out.
CVQPacing PacingForSpeedLevel(int level, bool noPacing);

} // namespace vq
