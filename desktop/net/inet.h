// The only code of the program that talks to servers: one address at a time over HTTP, HTTPS or
// FTP, or from a file: address, with the update test, size limits, resume, redirects and the log
// lines of every failure; and the small requests of other parts (content kind of an address, a
// page into memory or into a temporary file).
#pragma once

#include "desktop/net/transfer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CVQCookieStore;
class CVQDoc;
class CVQDocNode;
class CVQDownloadSink;
struct CVQPrjSettings;
struct CVQResponseVerdict;

class CVQInet {
public:
    enum Service { kServiceFtp, kServiceHttp, kServiceHttps, kServiceFile };

    // The deepest redirect a Download still follows; the answer of a call at a greater depth
    // is logged as an HTTP error.
    static constexpr int kMaxRedirectDepth = 9;

    CVQInet();
    virtual ~CVQInet();
    CVQInet(const CVQInet&) = delete;
    CVQInet& operator=(const CVQInet&) = delete;

    // Opens the session every later call of this object uses: one connection handle, kept alive
    // between calls. cookies, when given, is shared with the other workers of the run and must
    // outlive the session. The per-user connection limits have no counterpart here.
    bool OpenSession(CVQDoc& project, bool raiseConnectionLimits,
                     CVQCookieStore* cookies = nullptr);
    // Destruction closes the session too.
    void CloseSession(bool restoreConnectionLimits);
    bool HasSession() const;

    // Fetches address into localPath. True when the file is in place (transferred completely,
    // unchanged, an FTP listing written, a file: copy made) or when a redirect led to an address
    // that another node stands for. See the accessors for the details afterwards.
    bool Download(std::string& address, std::string& localPath, int workerIndex, CVQDoc& project,
                  bool reportRetryable, bool& canRetry, bool& interrupted, std::uint64_t knownSize,
                  const std::string& referrer, int& group, int& contentClass, int redirectDepth,
                  CVQDocNode* node, bool* resume = nullptr);

    // The group the server's answer gives an address (0 when none or on failure); HTTP(S) only.
    int ProbeContentKind(const std::string& address, CVQDoc& project, int& contentClass);
    // A 200 answer into a new file in the system's temporary folder.
    bool FetchToFile(const std::string& address, CVQDoc& project, std::string& filePath,
                     std::uint64_t& byteCount);
    // A 200 answer into memory as text.
    bool FetchToString(const std::string& address, CVQDoc& project, std::string& text);
    // A POST with the caller's own headers and body (the upload to the handheld app); true when
    // the answer was 200. The status is kept for HttpStatus.
    bool Post(const std::string& address, CVQDoc& project, const std::vector<std::string>& headers,
              const std::string& body, std::string* answer = nullptr);

    // There is no browser cache to read: the look-up never finds the address.
    static bool FindInUrlCache(std::string_view address, std::optional<std::int64_t> lastModified,
                               std::uint64_t expectedSize, std::uint64_t& cachedSize,
                               std::string& cacheFile);
    static std::string ContentTypeForFile(const CVQDoc& project, std::string_view fileName);
    static bool IsConnected();
    static bool IsWorkOffline();
    static void SetWorkOffline(bool offline);

    // Splits an address into service, server, port and object path (path and query); only FTP,
    // HTTP, HTTPS and file: addresses are taken.
    bool ParseAddress(std::string_view address);
    Service AddressService() const { return m_service; }
    const std::string& Server() const { return m_server; }
    std::uint16_t Port() const { return m_port; }
    const std::string& ObjectPath() const { return m_objectPath; }

    // After a Download: the size (the stored file's length after a transfer; the percentage
    // received after an incomplete one), the server's modification time (seconds since 1970,
    // UTC), the disposition, the error code, the HTTP status and the skip reason.
    std::uint64_t Size() const { return m_size; }
    const std::optional<std::int64_t>& LastModified() const { return m_lastModified; }
    int Disposition() const { return m_disposition; }
    int ErrorCode() const { return m_errorCode; }
    int HttpStatus() const { return m_httpStatus; }
    int SkipReason() const { return m_skipReason; }

private:
    struct Call;

    bool UseSession(CVQDoc& project, CVQTransfer& temporary, CVQTransfer*& transfer);
    bool CopyLocalAddress(Call& call);
    bool DownloadHttp(Call& call);
    bool DownloadFtp(Call& call);
    bool WriteFtpListing(Call& call, const std::string& url);
    bool HandleStatus(Call& call, const CVQResponseHeaders& headers);
    bool FollowRedirect(Call& call, const CVQResponseHeaders& headers);
    bool ApplyCheck(Call& call, const CVQResponseVerdict& verdict);
    bool FinishTransfer(Call& call, const CVQTransferResult& result, CVQDownloadSink& sink);
    bool NetworkFailure(Call& call, const CVQTransferResult& result);
    static bool EndedByRequest(Call& call, bool stopped);
    static bool WriteFailed(Call& call, bool diskFull);
    std::string RequestUrl(const CVQPrjSettings& settings) const;
    // A GET of an HTTP(S) address for the small requests, with redirects followed when the
    // program options say so.
    CVQTransferResult SmallRequest(const std::string& address, CVQDoc& project,
                                   CVQTransferHandler& handler);

    void LogError(CVQDoc& project, int code, std::string_view subject);
    void LogHttpError(CVQDoc& project, int status, std::string_view address);

    CVQTransfer m_transfer;
    Service m_service = kServiceHttp;
    std::string m_scheme;
    std::string m_server;
    std::string m_objectPath;
    std::uint16_t m_port = 0;
    std::string m_userInfo;

    std::uint64_t m_size = 0;
    std::optional<std::int64_t> m_lastModified;
    int m_errorCode = 0;
    int m_disposition = 0;
    int m_httpStatus = 200;
    int m_skipReason = 0;
};
