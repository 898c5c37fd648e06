// libcurl's multi interface around one easy handle: the multi handle keeps the connections of a
// session alive, and its poll with a short time-out lets stop and skip requests end a transfer
// that is waiting for the network.
#include "desktop/net/transfer.h"

#include "desktop/address/text_util.h"
#include "desktop/net/cookie_store.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <curl/curl.h>
#include <mutex>
#include <thread>

namespace {

// Answers the client does not want are read to their end when they are at most this long, so
// that the connection can serve the next request; longer ones close it.
constexpr std::uint64_t kDrainLimit = 64 * 1024;
constexpr int kPauseSliceMs = 50;

bool IsFtpUrl(std::string_view url) {
    return vq::StartsWithIgnoreCase(url, "ftp://");
}

bool HasHeader(const std::vector<std::string>& headers, std::string_view name) {
    for (const std::string& header : headers)
        if (vq::StartsWithIgnoreCase(header, name) && header.size() > name.size() &&
            header[name.size()] == ':')
            return true;
    return false;
}

const char* EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

} // namespace

struct CVQTransfer::Impl {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    CVQTransferSetup setup;

    // The request in progress.
    const CVQTransferRequest* request = nullptr;
    CVQTransferHandler* handler = nullptr;
    curl_slist* headerList = nullptr;
    CVQResponseHeaders headers;
    bool isHttp = true;
    bool answered = false;
    bool receiving = false; // OnResponse chose kReceive
    bool ignoredAbort = false;
    std::optional<CVQTransferResult::End> forcedEnd;
    std::uint64_t bodyBytes = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    void Reset(const CVQTransferRequest& req, CVQTransferHandler& h);
    bool ConfigureSession();
    bool ConfigureRequest();
    bool Decide();
    bool IsAuthenticationRound() const;
    bool CheckInterrupt();
    bool SleepPolling(int ms);
    size_t OnHeaderLine(const char* data, size_t length);
    size_t OnData(const char* data, size_t length);
    CVQTransferResult Finish(CURLcode code);

    static size_t HeaderThunk(char* data, size_t size, size_t count, void* self) {
        return static_cast<Impl*>(self)->OnHeaderLine(data, size * count);
    }
    static size_t WriteThunk(char* data, size_t size, size_t count, void* self) {
        return static_cast<Impl*>(self)->OnData(data, size * count);
    }
};

void CVQTransfer::Impl::Reset(const CVQTransferRequest& req, CVQTransferHandler& h) {
    request = &req;
    handler = &h;
    headers.Clear();
    isHttp = !IsFtpUrl(req.url);
    answered = false;
    receiving = false;
    ignoredAbort = false;
    forcedEnd.reset();
    bodyBytes = 0;
    errorBuffer[0] = '\0';
    curl_slist_free_all(headerList);
    headerList = nullptr;
}

// Options of the whole session, set once: a reset of the handle between requests would also
// drop what libcurl keeps for the cookie engine.
bool CVQTransfer::Impl::ConfigureSession() {
    bool ok = true;
    const auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorBuffer);
    set(CURLOPT_HEADERFUNCTION, &HeaderThunk);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &WriteThunk);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_BUFFERSIZE, static_cast<long>(kMaxChunk));
    set(CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_USERAGENT, setup.agent.c_str());
    const long timeout = std::max(1, setup.timeoutSeconds);
    set(CURLOPT_CONNECTTIMEOUT, timeout);
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, timeout);
    // Host names that do not match the certificate are accepted; the chain is still verified.
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    if (const char* file = EnvValue("SSL_CERT_FILE"))
        set(CURLOPT_CAINFO, file);
    if (const char* dir = EnvValue("SSL_CERT_DIR"))
        set(CURLOPT_CAPATH, dir);
    set(CURLOPT_COOKIEFILE, "");
    if (setup.cookies && setup.cookies->Handle())
        set(CURLOPT_SHARE, static_cast<CURLSH*>(setup.cookies->Handle()));
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!setup.proxyUser.empty() && !setup.proxyPassword.empty()) {
        set(CURLOPT_PROXYUSERNAME, setup.proxyUser.c_str());
        set(CURLOPT_PROXYPASSWORD, setup.proxyPassword.c_str());
        set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
    // Sent only to a server that asks, never unasked to every server of a crawl.
    set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    return ok;
}

// Every option a request may change is set again for each one, so that nothing of the
// previous request (its method, range, credentials, headers) carries over.
bool CVQTransfer::Impl::ConfigureRequest() {
    const CVQTransferRequest& req = *request;
    bool ok = true;
    const auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
    };
    const auto text = [](const std::string& value) {
        return value.empty() ? static_cast<const char*>(nullptr) : value.c_str();
    };
    switch (setup.proxyMode) {
    case CVQTransferSetup::kDirect:
        set(CURLOPT_PROXY, ""); // not even the environment's proxy
        break;
    case CVQTransferSetup::kNamedProxy:
        set(CURLOPT_PROXY,
            !isHttp && !setup.ftpProxy.empty() ? setup.ftpProxy.c_str() : setup.proxy.c_str());
        break;
    case CVQTransferSetup::kEnvironment:
        // libcurl reads http_proxy, https_proxy, ftp_proxy, all_proxy and no_proxy.
        set(CURLOPT_PROXY, static_cast<const char*>(nullptr));
        break;
    }

    set(CURLOPT_URL, req.url.c_str());
    const bool credentials = !req.userName.empty() && !req.password.empty();
    set(CURLOPT_USERNAME, credentials ? req.userName.c_str() : nullptr);
    set(CURLOPT_PASSWORD, credentials ? req.password.c_str() : nullptr);
    set(CURLOPT_REFERER, text(req.referrer));

    for (const std::string& header : req.headers)
        headerList = curl_slist_append(headerList, header.c_str());
    set(CURLOPT_NOBODY, 0L);
    set(CURLOPT_FILETIME, 0L);
    switch (req.method) {
    case CVQTransferRequest::kGet:
        set(CURLOPT_HTTPGET, 1L);
        break;
    case CVQTransferRequest::kPost:
        if (!HasHeader(req.headers, "Content-Type"))
            headerList =
                curl_slist_append(headerList, "Content-Type: application/x-www-form-urlencoded");
        headerList = curl_slist_append(headerList, "Expect:");
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(req.postBody.size()));
        set(CURLOPT_COPYPOSTFIELDS, req.postBody.c_str());
        break;
    case CVQTransferRequest::kInfoOnly:
        set(CURLOPT_NOBODY, 1L);
        set(CURLOPT_FILETIME, 1L);
        break;
    }
    curl_off_t resumeFrom = 0;
    if (req.resumeFrom > 0) {
        if (isHttp)
            headerList = curl_slist_append(
                headerList, ("Range: bytes=" + std::to_string(req.resumeFrom) + "-").c_str());
        else
            resumeFrom = static_cast<curl_off_t>(req.resumeFrom);
    }
    set(CURLOPT_RESUME_FROM_LARGE, resumeFrom);
    set(CURLOPT_CUSTOMREQUEST, !isHttp && req.ftpMachineListing ? "MLSD" : nullptr);
    set(CURLOPT_HTTPHEADER, headerList);
    return ok;
}

// A 401 or 407 that libcurl answers itself with the credentials it was given.
bool CVQTransfer::Impl::IsAuthenticationRound() const {
    const int status = headers.Status();
    if (status == 401)
        return !request->userName.empty() && !request->password.empty() &&
               headers.Value("WWW-Authenticate").has_value();
    if (status == 407)
        return !setup.proxyUser.empty() && !setup.proxyPassword.empty() &&
               headers.Value("Proxy-Authenticate").has_value();
    return false;
}

// Hands the answer to the handler; false ends the transfer at once.
bool CVQTransfer::Impl::Decide() {
    answered = true;
    const VQBodyAction action = handler->OnResponse(headers);
    receiving = action == VQBodyAction::kReceive;
    if (receiving)
        return true;
    if (!isHttp) {
        ignoredAbort = true;
        return false;
    }
    const int status = headers.Status();
    const std::optional<std::uint64_t> length = headers.ContentLength();
    const bool noBody =
        status == 204 || status == 304 || request->method == CVQTransferRequest::kInfoOnly;
    if (noBody || (length && *length <= kDrainLimit))
        return true;
    ignoredAbort = true;
    return false;
}

bool CVQTransfer::Impl::CheckInterrupt() {
    if (forcedEnd)
        return true;
    switch (handler->Interrupt()) {
    case VQInterrupt::kNone:
        return false;
    case VQInterrupt::kStop:
        forcedEnd = CVQTransferResult::kStopped;
        return true;
    case VQInterrupt::kSkip:
        forcedEnd = CVQTransferResult::kSkipped;
        return true;
    }
    return false;
}

// The pause between chunks, cut into slices so that a stop is seen within one slice.
bool CVQTransfer::Impl::SleepPolling(int ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        if (CheckInterrupt())
            return false;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(end - now, std::chrono::milliseconds(kPauseSliceMs)));
    }
    return !CheckInterrupt();
}

size_t CVQTransfer::Impl::OnHeaderLine(const char* data, size_t length) {
    if (!isHttp)
        return length; // FTP replies; the handler hears of the file with its first byte
    headers.AddLine(std::string_view(data, length));
    if (!headers.Complete())
        return length;
    const int status = headers.Status();
    if (status >= 100 && status < 200) {
        headers.Clear(); // an interim answer; the real one follows
        return length;
    }
    if (IsAuthenticationRound())
        return length; // libcurl asks again with the credentials
    return Decide() ? length : 0;
}

size_t CVQTransfer::Impl::OnData(const char* data, size_t length) {
    if (request->method == CVQTransferRequest::kInfoOnly)
        return length; // libcurl's made-up header lines for an FTP file
    if (!isHttp && !answered && !Decide())
        return 0;
    if (!answered || !receiving)
        return length; // the body of an authentication round or of an ignored answer
    for (size_t offset = 0; offset < length;) {
        if (CheckInterrupt())
            return 0;
        const CVQPacing pacing = handler->Pacing();
        const size_t chunk = std::clamp<size_t>(pacing.chunkLength, 1, kMaxChunk);
        const size_t piece = std::min(length - offset, chunk);
        if (pacing.pauseMs > 0 && !SleepPolling(pacing.pauseMs))
            return 0;
        if (!handler->OnBody(data + offset, piece)) {
            forcedEnd = CVQTransferResult::kWriteFailed;
            return 0;
        }
        bodyBytes += piece;
        offset += piece;
    }
    return length;
}

CVQTransferResult CVQTransfer::Impl::Finish(CURLcode code) {
    CVQTransferResult result;
    const bool infoOnly = request->method == CVQTransferRequest::kInfoOnly;
    // An answer without body bytes (an empty FTP file, an authentication that failed for good)
    // is shown to the handler once the transfer has ended.
    if (!forcedEnd && !answered && !infoOnly && code == CURLE_OK && (!isHttp || headers.Complete()))
        Decide();
    if (forcedEnd)
        result.end = *forcedEnd;
    else if (code == CURLE_OK || (ignoredAbort && code == CURLE_WRITE_ERROR))
        result.end = CVQTransferResult::kDone;
    else
        result.end = CVQTransferResult::kFailed;
    if (result.end == CVQTransferResult::kFailed) {
        result.curlCode = static_cast<int>(code);
        result.errorText = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    }
    result.answered = answered;
    result.bodyBytes = bodyBytes;
    result.status = headers.Status();
    if (infoOnly && !isHttp && code == CURLE_OK) {
        curl_off_t size = -1;
        if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK &&
            size >= 0)
            result.infoSize = static_cast<std::uint64_t>(size);
        curl_off_t fileTime = -1;
        if (curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &fileTime) == CURLE_OK && fileTime >= 0)
            result.infoFileTime = static_cast<std::int64_t>(fileTime);
    }
    curl_slist_free_all(headerList);
    headerList = nullptr;
    request = nullptr;
    handler = nullptr;
    return result;
}

CVQTransfer::CVQTransfer() : m_impl(std::make_unique<Impl>()) {}

CVQTransfer::~CVQTransfer() {
    Close();
}

bool CVQTransfer::Open(const CVQTransferSetup& setup) {
    Close();
    vq::InitNetworkLibrary();
    m_impl->easy = curl_easy_init();
    m_impl->multi = curl_multi_init();
    if (!m_impl->easy || !m_impl->multi) {
        Close();
        return false;
    }
    m_impl->setup = setup;
    if (!m_impl->ConfigureSession()) {
        Close();
        return false;
    }
    return true;
}

void CVQTransfer::Close() {
    // The multi handle owns the connections; it goes first.
    if (m_impl->multi)
        curl_multi_cleanup(m_impl->multi);
    if (m_impl->easy)
        curl_easy_cleanup(m_impl->easy);
    m_impl->easy = nullptr;
    m_impl->multi = nullptr;
}

bool CVQTransfer::IsOpen() const {
    return m_impl->easy != nullptr;
}

CVQTransferResult CVQTransfer::Perform(const CVQTransferRequest& request,
                                       CVQTransferHandler& handler) {
    Impl& impl = *m_impl;
    if (!impl.easy) {
        CVQTransferResult closed;
        closed.curlCode = CURLE_FAILED_INIT;
        closed.errorText = curl_easy_strerror(CURLE_FAILED_INIT);
        return closed;
    }
    impl.Reset(request, handler);
    if (!impl.ConfigureRequest())
        return impl.Finish(CURLE_FAILED_INIT);
    if (curl_multi_add_handle(impl.multi, impl.easy) != CURLM_OK)
        return impl.Finish(CURLE_FAILED_INIT);

    CURLcode code = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(impl.multi, &running) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0)
            break;
        if (impl.CheckInterrupt())
            break; // removing the handle below abandons the transfer and its connection
        curl_multi_poll(impl.multi, nullptr, 0, kPollMs, nullptr);
    }
    int pending = 0;
    while (CURLMsg* message = curl_multi_info_read(impl.multi, &pending))
        if (message->msg == CURLMSG_DONE && message->easy_handle == impl.easy)
            code = message->data.result;
    curl_multi_remove_handle(impl.multi, impl.easy);
    return impl.Finish(code);
}

namespace vq {

void InitNetworkLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CVQPacing PacingForSpeedLevel(int level, bool noPacing) {
    level = std::clamp(level, 1, 10);
    CVQPacing pacing;
    pacing.chunkLength = static_cast<std::size_t>(level) * 1024;
    pacing.pauseMs = level == 10 && noPacing ? 0 : (10 - level) * 20 + 10;
    return pacing;
}

} // namespace vq
