// The client's own decisions over the transfer core: which request to send, what an answer's
// status means, when a redirect is followed, when a file is complete, and the log lines.
#include "desktop/net/inet.h"

#include "desktop/address/address.h"
#include "desktop/address/save_directory.h"
#include "desktop/address/text_util.h"
#include "desktop/net/connection_state.h"
#include "desktop/net/content_type.h"
#include "desktop/net/cookie_store.h"
#include "desktop/net/download_sink.h"
#include "desktop/net/file_writer.h"
#include "desktop/net/ftp_listing.h"
#include "desktop/net/local_copy.h"
#include "desktop/net/response_check.h"
#include "desktop/project/agent_id.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_class.h"
#include "desktop/project/link_rules.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <curl/curl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr std::string_view kFormMarkers[] = {"?vqpost.", "?vqlogin."};
constexpr int kMaxSmallRedirects = 10;
constexpr std::size_t kMaxAgentText = 1039;

std::string ErrorText(int code) {
    static constexpr int kTexts[] = {
        IDS_ERR_FILE_NOT_FOUND,    IDS_ERR_NO_FILE_NAME, IDS_ERR_NOT_DOWNLOADED,
        IDS_ERR_UNKNOWN_EXCEPTION, IDS_ERR_OTHER_THREAD, IDS_ERR_CANNOT_SAVE,
        IDS_ERR_PATH_NOT_FOUND,    IDS_ERR_NO_ACCESS,    IDS_ERR_CANNOT_CREATE_DIR};
    if (code <= -1 && code >= -9)
        return VQText(kTexts[-code - 1]);
    return std::to_string(code);
}

// The identification the session sends: the project's, at most 1039 characters.
std::string AgentText(const CVQPrjSettings& settings) {
    CVQAgentId agent;
    agent.type = settings.agentType;
    agent.version = settings.agentVersion;
    agent.text = settings.agentText;
    std::string text = vq::AgentIdText(agent);
    if (text.empty())
        return "Mozilla/4.0";
    if (text.size() > kMaxAgentText)
        text.resize(kMaxAgentText);
    return text;
}

CVQTransferSetup SessionSetup(const CVQDoc& project, CVQCookieStore* cookies) {
    const CVQProgramOptions& options = project.Options();
    CVQTransferSetup setup;
    setup.agent = AgentText(project.Settings());
    setup.timeoutSeconds = project.Settings().timeout;
    setup.cookies = cookies;
    if (options.connType == 2) {
        setup.proxyMode = CVQTransferSetup::kEnvironment;
    } else if (options.useProxy) {
        setup.proxyMode = CVQTransferSetup::kNamedProxy;
        setup.proxy = options.proxyAddress + ":" + std::to_string(options.proxyPort);
        if (!options.ftpProxyAddress.empty())
            setup.ftpProxy = options.ftpProxyAddress + ":" + std::to_string(options.ftpProxyPort);
    }
    if (options.useProxy && !options.proxyUserId.empty() && !options.proxyPassword.empty()) {
        setup.proxyUser = options.proxyUserId;
        setup.proxyPassword = options.proxyPassword;
    }
    return setup;
}

bool HasCredentials(const CVQPrjSettings& settings) {
    return !settings.userId.empty() && !settings.password.empty();
}

void AddCredentials(const CVQPrjSettings& settings, CVQTransferRequest& request) {
    if (!HasCredentials(settings))
        return;
    request.userName = settings.userId;
    request.password = settings.password;
}

// A server may send the client on only to another HTTP, HTTPS or FTP address, never to a file
// of this computer.
bool IsTransferAddress(std::string_view address) {
    const int bits = vq::ProtocolBits(address);
    return bits == vq::kProtoHttp || bits == vq::kProtoHttps || bits == vq::kProtoFtp;
}

bool IsHttpAddress(std::string_view address) {
    const int bits = vq::ProtocolBits(address);
    return bits == vq::kProtoHttp || bits == vq::kProtoHttps;
}

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// For FTP with credentials the user's name in the path stands for the login directory: with the
// user joe, /joe/pub/a.zip becomes /pub/a.zip. Only a whole path segment counts, so that a short
// name never cuts another segment apart.
std::string WithoutUserSegment(const std::string& path, const std::string& user) {
    for (std::size_t at = path.find(user); at != std::string::npos; at = path.find(user, at + 1)) {
        const std::size_t end = at + user.size();
        const bool segment =
            at > 0 && path[at - 1] == '/' && (end == path.size() || path[end] == '/');
        if (segment)
            return end == path.size() ? std::string("/") : path.substr(end);
    }
    return path;
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// The project's stop request for the small requests, which belong to no worker.
class CVQProjectStop : public CVQTransferHandler {
public:
    explicit CVQProjectStop(CVQDoc& project) : m_project(project) {}
    VQInterrupt Interrupt() override {
        return m_project.Run().stopRequest ? VQInterrupt::kStop : VQInterrupt::kNone;
    }

protected:
    CVQDoc& m_project;
};

// Collects a body in memory: an FTP listing, a page for FetchToString, the upload's answer.
class CVQCollect : public CVQProjectStop {
public:
    CVQCollect(CVQDoc& project, bool only200, bool cutAtZero)
        : CVQProjectStop(project), m_only200(only200), m_cutAtZero(cutAtZero) {}
    VQBodyAction OnResponse(const CVQResponseHeaders& headers) override {
        m_status = headers.Status();
        m_taken = !m_only200 || m_status == 200;
        return m_taken ? VQBodyAction::kReceive : VQBodyAction::kIgnore;
    }
    bool OnBody(const char* data, std::size_t length) override {
        const std::string_view chunk(data, length);
        m_text.append(m_cutAtZero ? chunk.substr(0, chunk.find('\0')) : chunk);
        return true;
    }
    bool Taken() const { return m_taken; }
    int Status() const { return m_status; }
    std::string& Text() { return m_text; }

private:
    bool m_only200;
    bool m_cutAtZero;
    bool m_taken = false;
    int m_status = 0;
    std::string m_text;
};

// Only the headers of the answer matter.
class CVQHeadersOnly : public CVQProjectStop {
public:
    using CVQProjectStop::CVQProjectStop;
    VQBodyAction OnResponse(const CVQResponseHeaders& headers) override {
        m_headers = headers;
        m_answered = true;
        return VQBodyAction::kIgnore;
    }
    bool OnBody(const char*, std::size_t) override { return true; }
    bool Answered() const { return m_answered; }
    const CVQResponseHeaders& Headers() const { return m_headers; }

private:
    CVQResponseHeaders m_headers;
    bool m_answered = false;
};

// The body into the temporary file of FetchToFile, paced by the speed level.
class CVQFetchFile : public CVQProjectStop {
public:
    CVQFetchFile(CVQDoc& project, CVQFileWriter& file) : CVQProjectStop(project), m_file(file) {}
    VQBodyAction OnResponse(const CVQResponseHeaders& headers) override {
        m_taken = headers.Status() == 200;
        return m_taken ? VQBodyAction::kReceive : VQBodyAction::kIgnore;
    }
    bool OnBody(const char* data, std::size_t length) override {
        m_bytes += length;
        return m_file.Write(data, length);
    }
    CVQPacing Pacing() override {
        return vq::PacingForSpeedLevel(m_project.Run().speedLevel, m_project.Options().noPacing);
    }
    bool Taken() const { return m_taken; }
    std::uint64_t Bytes() const { return m_bytes; }

private:
    CVQFileWriter& m_file;
    bool m_taken = false;
    std::uint64_t m_bytes = 0;
};

// Lets the small requests follow redirects themselves (when the program options allow it)
// instead of handing a redirect's answer to the caller.
class CVQRedirectCatcher : public CVQTransferHandler {
public:
    CVQRedirectCatcher(CVQTransferHandler& inner, bool follow) : m_inner(inner), m_follow(follow) {}
    VQBodyAction OnResponse(const CVQResponseHeaders& headers) override {
        const int status = headers.Status();
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (m_follow && redirect) {
            if (std::optional<std::string> location = headers.Value("Location");
                location && !location->empty()) {
                m_location = std::move(*location);
                return VQBodyAction::kIgnore;
            }
        }
        return m_inner.OnResponse(headers);
    }
    bool OnBody(const char* data, std::size_t length) override {
        return m_inner.OnBody(data, length);
    }
    VQInterrupt Interrupt() override { return m_inner.Interrupt(); }
    CVQPacing Pacing() override { return m_inner.Pacing(); }
    const std::optional<std::string>& Location() const { return m_location; }

private:
    CVQTransferHandler& m_inner;
    bool m_follow;
    std::optional<std::string> m_location;
};

// The temporary node a redirect target is judged with, when the caller gave none.
bool AcceptRedirectTarget(CVQDoc& project, CVQDocNode* node, const std::string& target) {
    CVQLinkRules* rules = project.LinkRules();
    if (node) {
        project.Tree().SetAddress(node, target);
        return !rules || rules->AcceptFoundLink(project, *node);
    }
    if (!rules)
        return true;
    const CVQFileClass cls = vq::ClassifyAddress(project.Settings(), target);
    CVQDocNode temporary(cls.group == vq::kGroupHtml ? kNodePage : kNodeFile, {}, target, {});
    temporary.group = static_cast<std::uint16_t>(cls.group);
    temporary.extEnabled = static_cast<std::uint8_t>(cls.extEnabled);
    return rules->AcceptFoundLink(project, temporary);
}

} // namespace

struct CVQInet::Call {
    std::string& address;
    std::string& localPath;
    int worker;
    CVQDoc& project;
    bool reportRetryable;
    bool& canRetry;
    bool& interrupted;
    std::uint64_t knownSize;
    const std::string& referrer;
    int& group;
    int& contentClass;
    int redirectDepth;
    CVQDocNode* node;
    bool* resume;

    bool resumeRequested = false;
    bool isForm = false;
    std::string formBody{};
};

CVQInet::CVQInet() = default;

CVQInet::~CVQInet() = default;

bool CVQInet::OpenSession(CVQDoc& project, bool /*raiseConnectionLimits*/,
                          CVQCookieStore* cookies) {
    return m_transfer.Open(SessionSetup(project, cookies));
}

void CVQInet::CloseSession(bool /*restoreConnectionLimits*/) {
    m_transfer.Close();
}

bool CVQInet::HasSession() const {
    return m_transfer.IsOpen();
}

bool CVQInet::ParseAddress(std::string_view address) {
    m_server.clear();
    m_objectPath.clear();
    m_userInfo.clear();
    m_scheme.clear();
    m_port = 0;
    if (vq::ProtocolBits(address) == vq::kProtoFile) {
        m_service = kServiceFile;
        m_scheme = "file";
        m_objectPath = std::string(address.substr(7));
        return true;
    }
    // Backslashes in an address are path separators, as a browser reads them.
    std::string text(address);
    std::replace(text.begin(), text.end(), '\\', '/');
    CURLU* url = curl_url();
    if (!url)
        return false;
    bool ok = curl_url_set(url, CURLUPART_URL, text.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) ==
              CURLUE_OK;
    const auto part = [&](CURLUPart which, unsigned flags = 0) {
        char* value = nullptr;
        std::string out;
        if (curl_url_get(url, which, &value, flags) == CURLUE_OK && value)
            out = value;
        curl_free(value);
        return out;
    };
    if (ok) {
        m_scheme = vq::ToLowerAscii(part(CURLUPART_SCHEME));
        m_server = part(CURLUPART_HOST);
        const std::string port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
        m_port = static_cast<std::uint16_t>(std::atoi(port.c_str()));
        m_objectPath = part(CURLUPART_PATH);
        if (const std::string query = part(CURLUPART_QUERY); !query.empty())
            m_objectPath += "?" + query;
        const std::string user = part(CURLUPART_USER);
        const std::string password = part(CURLUPART_PASSWORD);
        if (!user.empty())
            m_userInfo = password.empty() ? user : user + ":" + password;
    }
    curl_url_cleanup(url);
    if (!ok || m_server.empty())
        return false;
    if (m_scheme == "http")
        m_service = kServiceHttp;
    else if (m_scheme == "https")
        m_service = kServiceHttps;
    else if (m_scheme == "ftp")
        m_service = kServiceFtp;
    else
        return false;
    return true;
}

// The address as the transfer sends it: the credentials of the address itself only when the
// project gives none.
std::string CVQInet::RequestUrl(const CVQPrjSettings& settings) const {
    std::string url = m_scheme + "://";
    if (!m_userInfo.empty() && !HasCredentials(settings))
        url += m_userInfo + "@";
    return url + m_server + ":" + std::to_string(m_port) + m_objectPath;
}

void CVQInet::LogError(CVQDoc& project, int code, std::string_view subject) {
    m_errorCode = code;
    project.Log().Text(
        VQFormat(IDS_LOG_ERROR, ErrorText(code).c_str(), std::string(subject).c_str()));
}

void CVQInet::LogHttpError(CVQDoc& project, int status, std::string_view address) {
    m_errorCode = status;
    project.Log().Text(VQFormat(IDS_LOG_HTTP_ERROR, status, std::string(address).c_str()));
}

bool CVQInet::Download(std::string& address, std::string& localPath, int workerIndex,
                       CVQDoc& project, bool reportRetryable, bool& canRetry, bool& interrupted,
                       std::uint64_t knownSize, const std::string& referrer, int& group,
                       int& contentClass, int redirectDepth, CVQDocNode* node, bool* resume) {
    canRetry = false;
    interrupted = false;
    group = 0;
    m_disposition = kDispTransferred;
    m_skipReason = 0;
    m_size = 0;
    m_lastModified.reset();
    m_errorCode = 0;
    // No answer yet: a status left from the previous address must not speak for this one (the
    // engine deletes a stored file when the server answered 404).
    m_httpStatus = 0;

    Call call{address,      localPath,     workerIndex, project,  reportRetryable,
              canRetry,     interrupted,   knownSize,   referrer, group,
              contentClass, redirectDepth, node,        resume};
    call.resumeRequested = resume && *resume;
    if (resume)
        *resume = false; // true again only when this transfer stays incomplete

    // A form submission: the part before the marker is requested, the part after it is posted.
    std::string requested = address;
    if (IsHttpAddress(address)) {
        const std::size_t hostEnd = vq::HostEnd(address);
        for (std::string_view marker : kFormMarkers) {
            const std::size_t at = address.find(marker, hostEnd);
            if (at == std::string::npos)
                continue;
            call.isForm = true;
            call.formBody = address.substr(at + marker.size());
            requested = address.substr(0, at);
            break;
        }
    }
    if (!ParseAddress(requested)) {
        LogError(project, CURLE_URL_MALFORMAT, address);
        return false;
    }
    if (m_service == kServiceFile)
        return CopyLocalAddress(call);
    if (project.Settings().uMethod == 2) {
        if (const std::optional<std::uint64_t> length = vq::FileLength(localPath)) {
            m_size = *length;
            m_disposition = kDispDone;
            return true;
        }
    }
    CVQWorkerRow row;
    row.address = address;
    row.sizeText = vq::RowSizeText(0);
    row.status = VQText(IDS_ROW_OPENING);
    project.WorkerRow(workerIndex, row);
    return m_service == kServiceFtp ? DownloadFtp(call) : DownloadHttp(call);
}

bool CVQInet::DownloadHttp(Call& call) {
    CVQDoc& project = call.project;
    CVQTransferRequest request;
    request.url = RequestUrl(project.Settings());
    request.headers.push_back("Accept: */*");
    if (!project.Options().useCache) {
        // Past any cache on the way: the file is wanted from its server.
        request.headers.push_back("Cache-Control: no-cache");
        request.headers.push_back("Pragma: no-cache");
    }
    request.referrer = call.referrer;
    AddCredentials(project.Settings(), request);
    if (call.isForm) {
        request.method = CVQTransferRequest::kPost;
        request.postBody = call.formBody;
        call.resumeRequested = false; // a form's answer is never continued
    }
    if (call.resumeRequested)
        request.resumeFrom = vq::FileLength(call.localPath).value_or(0);

    CVQDownloadSink sink(project, call.worker, call.address, call.localPath, call.resumeRequested,
                         call.knownSize);
    const CVQTransferResult result = m_transfer.Perform(request, sink);
    if (!result.answered)
        return NetworkFailure(call, result);
    m_httpStatus = sink.Headers().Status();
    if (m_httpStatus == 416 && call.resumeRequested) {
        // Nothing is left to continue from where the local file ends (it is as long as the
        // file, or the file changed): the whole file is asked for and replaces it.
        call.resumeRequested = false;
        return DownloadHttp(call);
    }
    if (!sink.StatusAccepted())
        return HandleStatus(call, sink.Headers());
    if (sink.RangeMismatch()) {
        // The server continued elsewhere than where the local file ends: nothing is appended.
        call.canRetry = true;
        m_errorCode = m_httpStatus;
        if (call.reportRetryable)
            LogHttpError(project, m_httpStatus, call.address);
        return false;
    }
    m_size = sink.Size();
    m_lastModified = sink.LastModified();
    if (!ApplyCheck(call, sink.Verdict()))
        return m_disposition == kDispDone || m_disposition == kDispFromCache;
    if (const std::optional<int> error = sink.OpenError()) {
        LogError(project, *error, sink.OpenErrorSubject());
        return false;
    }
    return FinishTransfer(call, result, sink);
}

// Takes over what the response check decided; true when the body is to be transferred.
bool CVQInet::ApplyCheck(Call& call, const CVQResponseVerdict& verdict) {
    CVQDoc& project = call.project;
    call.group = verdict.group;
    call.contentClass = verdict.contentClass;
    if (verdict.nameReduced && !verdict.serverFileName.empty())
        project.Log().Text(
            VQFormat(IDS_LOG_NAME_REDUCED, call.address.c_str(), verdict.serverFileName.c_str()));
    if (verdict.renamed) {
        call.localPath = verdict.localPath;
        std::atomic_ref<int>(project.Settings().renamedFiles).store(1, std::memory_order_relaxed);
    }
    m_disposition = verdict.disposition;
    m_skipReason = verdict.skipReason;
    if (verdict.log == CVQResponseVerdict::kExceedsLimit)
        project.Log().Text(
            VQFormat(IDS_LOG_EXCEEDS_LIMIT, call.address.c_str(), vq::SizeText(m_size).c_str()));
    else if (verdict.log == CVQResponseVerdict::kTooSmall)
        project.Log().Text(
            VQFormat(IDS_LOG_TOO_SMALL, call.address.c_str(), vq::SizeText(m_size).c_str()));
    if (m_disposition == kDispDone && verdict.note == CVQResponseVerdict::kUnchanged && m_size == 0)
        m_size = vq::FileLength(call.localPath).value_or(0);
    return m_disposition == kDispTransferred;
}

// The project's stop request interrupts the file; the worker's skip request gives it up.
bool CVQInet::EndedByRequest(Call& call, bool stopped) {
    if (stopped)
        call.interrupted = true;
    else
        call.canRetry = false;
    return false;
}

// A file that cannot be written: the disk is most likely full for every other file too, so the
// whole project stops.
bool CVQInet::WriteFailed(Call& call, bool diskFull) {
    CVQDoc& project = call.project;
    project.Run().stopRequest = true;
    project.Log().Text(diskFull ? VQText(IDS_LOG_DISK_FULL)
                                : VQFormat(IDS_LOG_WRITE_ERROR, call.localPath.c_str()));
    call.interrupted = true;
    return false;
}

// The request got no answer: it was stopped, skipped, or the network failed.
bool CVQInet::NetworkFailure(Call& call, const CVQTransferResult& result) {
    if (result.end == CVQTransferResult::kStopped || result.end == CVQTransferResult::kSkipped)
        return EndedByRequest(call, result.end == CVQTransferResult::kStopped);
    call.canRetry = true;
    m_errorCode = result.curlCode;
    if (call.reportRetryable)
        LogError(call.project, result.curlCode, call.address);
    return false;
}

bool CVQInet::HandleStatus(Call& call, const CVQResponseHeaders& headers) {
    const int status = headers.Status();
    m_errorCode = status;
    // 308 and 303/307 are the later forms of 301 and 302.
    const bool permanent = status == 301 || status == 308;
    const bool temporary = status == 302 || status == 303 || status == 307;
    const bool follow = call.redirectDepth <= kMaxRedirectDepth &&
                        (permanent || (temporary && call.project.Options().redirect));
    if (follow)
        return FollowRedirect(call, headers);
    if (status == 404 || permanent || temporary) {
        call.canRetry = false;
        LogHttpError(call.project, status, call.address);
        return false;
    }
    call.canRetry = true;
    if (call.reportRetryable)
        LogHttpError(call.project, status, call.address);
    return false;
}

bool CVQInet::FollowRedirect(Call& call, const CVQResponseHeaders& headers) {
    CVQDoc& project = call.project;
    const std::optional<std::string> location = headers.Value("Location");
    if (!location || location->empty())
        return false;
    bool needsConversion = false;
    const std::string target =
        vq::ResolveLink(*location, vq::DirectoryUrl(call.address), call.address, &needsConversion);
    call.address = target;
    if (needsConversion && call.node)
        call.node->selection = kSelNeedsConversion;
    if (!IsTransferAddress(target)) {
        LogError(project, kErrNotDownloaded, target);
        return false;
    }
    if (const CVQDocNode* other = project.Tree().FindByAddress(target);
        other && other != call.node) {
        m_errorCode = 0;
        return true; // that node stands for the file
    }
    if (!AcceptRedirectTarget(project, call.node, target)) {
        LogError(project, kErrNotDownloaded, target);
        return false;
    }
    bool renamed = false;
    project.MapToLocalPath(target, false, !call.node || call.node->IsHtml(), &renamed);
    if (renamed && call.node)
        call.node->selection = kSelNeedsConversion;
    m_errorCode = 0;
    bool nestedResume = false;
    const bool done =
        Download(call.address, call.localPath, call.worker, project, call.reportRetryable,
                 call.canRetry, call.interrupted, call.knownSize, call.referrer, call.group,
                 call.contentClass, call.redirectDepth + 1, call.node, &nestedResume);
    if (call.resume)
        *call.resume = nestedResume;
    return done;
}

bool CVQInet::FinishTransfer(Call& call, const CVQTransferResult& result, CVQDownloadSink& sink) {
    CVQDoc& project = call.project;
    const bool closed = sink.CloseFile();
    if (call.resume)
        *call.resume = false;
    const std::uint64_t size = sink.Size();
    const std::uint64_t received = sink.Received();
    const bool writeFailed = sink.WriteFailed() || !closed;
    const auto incomplete = [&] {
        if (call.resume)
            *call.resume = true;
        m_size = size != 0 ? received * 100 / size : 0;
    };

    if (writeFailed)
        WriteFailed(call, sink.DiskFull());
    if (writeFailed || result.end == CVQTransferResult::kStopped ||
        result.end == CVQTransferResult::kSkipped) {
        if (result.end == CVQTransferResult::kStopped)
            call.interrupted = true;
        if (result.end == CVQTransferResult::kSkipped)
            call.canRetry = false;
        if (size != 0 && size != received) {
            incomplete();
            project.Log().Text(VQFormat(IDS_LOG_INCOMPLETE, call.address.c_str()));
        }
        return false;
    }
    // Ended by the data. A break in a body of unknown length is no complete file either: only
    // the server's proper end tells that it was all.
    const bool broken = result.end == CVQTransferResult::kFailed;
    if ((size != 0 && size != received) || (broken && size == 0)) {
        call.canRetry = true;
        if (call.reportRetryable)
            project.Log().Text(VQFormat(IDS_LOG_INCOMPLETE, call.address.c_str()));
        incomplete();
        return false;
    }
    if (m_lastModified)
        vq::SetFileModificationTime(call.localPath, *m_lastModified);
    m_size = received; // the stored file's length, the part kept from before included
    return true;
}

bool CVQInet::DownloadFtp(Call& call) {
    CVQDoc& project = call.project;
    const CVQPrjSettings& settings = project.Settings();
    if (HasCredentials(settings))
        m_objectPath = WithoutUserSegment(m_objectPath, settings.userId);
    const std::string url = RequestUrl(settings);
    const bool directory = vq::LooksLikeFtpDirectory(m_objectPath);

    CVQResponseFacts facts;
    facts.ftp = true;
    if (!directory) {
        CVQTransferRequest info;
        info.url = url;
        info.method = CVQTransferRequest::kInfoOnly;
        AddCredentials(settings, info);
        CVQHeadersOnly ignore(project);
        const CVQTransferResult known = m_transfer.Perform(info, ignore);
        if (known.end == CVQTransferResult::kStopped || known.end == CVQTransferResult::kSkipped)
            return NetworkFailure(call, known);
        facts.size = known.infoSize;
        facts.lastModified = known.infoFileTime;
    }
    const CVQResponseVerdict verdict = vq::CheckResponse(
        facts, vq::CheckContextOf(project, call.knownSize, call.resumeRequested), call.localPath);
    m_size = facts.size.value_or(0);
    m_lastModified = facts.lastModified;
    if (!ApplyCheck(call, verdict))
        return m_disposition == kDispDone || m_disposition == kDispFromCache;
    if (directory)
        return WriteFtpListing(call, url.back() == '/' ? url : url + "/");

    CVQTransferRequest request;
    request.url = url;
    AddCredentials(settings, request);
    if (call.resumeRequested)
        request.resumeFrom = vq::FileLength(call.localPath).value_or(0);
    CVQDownloadSink sink(project, call.worker, call.address, call.localPath, call.resumeRequested,
                         call.knownSize);
    sink.UsePreparedCheck(verdict, facts.size, facts.lastModified);
    const CVQTransferResult result = m_transfer.Perform(request, sink);
    if (!result.answered)
        return NetworkFailure(call, result);
    if (const std::optional<int> error = sink.OpenError()) {
        LogError(project, *error, sink.OpenErrorSubject());
        return false;
    }
    return FinishTransfer(call, result, sink);
}

bool CVQInet::WriteFtpListing(Call& call, const std::string& url) {
    CVQDoc& project = call.project;
    CVQTransferRequest request;
    request.url = url;
    request.ftpMachineListing = true;
    AddCredentials(project.Settings(), request);
    CVQCollect machine(project, false, false);
    CVQTransferResult result = m_transfer.Perform(request, machine);
    std::vector<CVQFtpEntry> entries;
    if (result.end == CVQTransferResult::kDone) {
        entries = vq::ParseMlsdListing(machine.Text());
    } else if (result.end == CVQTransferResult::kFailed) {
        // A server without MLSD still gives the listing of LIST.
        request.ftpMachineListing = false;
        CVQCollect plain(project, false, false);
        result = m_transfer.Perform(request, plain);
        if (result.end == CVQTransferResult::kDone)
            entries = vq::ParseListListing(plain.Text());
    }
    if (result.end != CVQTransferResult::kDone)
        return NetworkFailure(call, result);
    if (entries.empty())
        return false;
    for (const CVQFtpEntry& entry : entries)
        if (entry.reduced)
            project.Log().Text(
                VQFormat(IDS_LOG_NAME_REDUCED, call.address.c_str(), entry.name.c_str()));

    const std::string page = vq::FtpListingPage(entries);
    const std::string directory = ParentDirectory(call.localPath);
    if (!directory.empty() && !CreateDirectories(directory)) {
        LogError(project, kErrCannotCreateDirectory, directory);
        return false;
    }
    CVQFileWriter file;
    if (const std::optional<int> error = file.Open(call.localPath, false)) {
        LogError(project, *error, *error == kErrPathNotFound ? directory : call.localPath);
        return false;
    }
    if (!file.Write(page.data(), page.size()) || !file.Close()) {
        const bool diskFull = file.DiskFull();
        file.Close();
        return WriteFailed(call, diskFull);
    }
    m_size = page.size();
    call.group = vq::kGroupHtml;
    call.contentClass = kClassOrdinary;
    return true;
}

bool CVQInet::CopyLocalAddress(Call& call) {
    CVQDoc& project = call.project;
    const std::string source = vq::LocalPathFromFileAddress(call.address);
    if (source.empty()) {
        LogError(project, kErrNoFileName, call.address);
        return false;
    }
    const auto finish = [&](std::uint64_t length) {
        m_size = length;
        call.group = vq::ClassifyAddress(project.Settings(), call.address).group;
        call.contentClass = kClassOrdinary;
        return true;
    };
    if (SamePath(source, call.localPath)) {
        if (const std::optional<std::uint64_t> length = vq::FileLength(source))
            return finish(*length);
        LogError(project, kErrFileNotFound, source);
        return false;
    }
    const std::string directory = ParentDirectory(call.localPath);
    if (!directory.empty())
        CreateDirectories(directory);
    const int worker = call.worker;
    const CVQCopyResult copy = CopyLocalFile(source, call.localPath, [&project, worker] {
        CVQDownloadState& run = project.Run();
        if (run.stopRequest)
            return VQInterrupt::kStop;
        return run.TakeSkipRequest(worker) ? VQInterrupt::kSkip : VQInterrupt::kNone;
    });
    switch (copy.end) {
    case CVQCopyResult::kCopied:
        return finish(copy.length);
    case CVQCopyResult::kSourceFailed:
        LogError(project, kErrFileNotFound, source);
        return false;
    case CVQCopyResult::kDestinationFailed:
        LogError(project, kErrFileNotFound, call.localPath);
        return false;
    case CVQCopyResult::kStopped:
        return EndedByRequest(call, true);
    case CVQCopyResult::kSkipped:
        return EndedByRequest(call, false);
    case CVQCopyResult::kWriteFailed:
        return WriteFailed(call, copy.diskFull);
    }
    return false;
}

bool CVQInet::UseSession(CVQDoc& project, CVQTransfer& temporary, CVQTransfer*& transfer) {
    if (m_transfer.IsOpen()) {
        transfer = &m_transfer;
        return true;
    }
    transfer = &temporary;
    return temporary.Open(SessionSetup(project, nullptr));
}

CVQTransferResult CVQInet::SmallRequest(const std::string& address, CVQDoc& project,
                                        CVQTransferHandler& handler) {
    CVQTransferResult result;
    CVQTransfer temporary;
    CVQTransfer* transfer = nullptr;
    if (!UseSession(project, temporary, transfer))
        return result;
    std::string current = address;
    for (int redirects = 0; redirects <= kMaxSmallRedirects; ++redirects) {
        if (!IsHttpAddress(current) || !ParseAddress(current)) {
            result = CVQTransferResult{};
            return result;
        }
        CVQTransferRequest request;
        request.url = RequestUrl(project.Settings());
        request.headers.push_back("Accept: */*");
        AddCredentials(project.Settings(), request);
        CVQRedirectCatcher catcher(handler, project.Options().redirect);
        result = transfer->Perform(request, catcher);
        m_httpStatus = result.status;
        if (!catcher.Location())
            return result;
        current = vq::ResolveLink(*catcher.Location(), vq::DirectoryUrl(current), current);
    }
    result.answered = false;
    return result;
}

int CVQInet::ProbeContentKind(const std::string& address, CVQDoc& project, int& contentClass) {
    contentClass = kClassOrdinary;
    CVQHeadersOnly headers(project);
    SmallRequest(address, project, headers);
    if (!headers.Answered())
        return 0;
    const CVQPrjSettings& settings = project.Settings();
    if (const std::optional<std::string> type = headers.Headers().Value("Content-Type")) {
        const CVQContentKind kind = vq::KindFromContentType(settings, *type);
        contentClass = kind.contentClass;
        return kind.group;
    }
    if (const std::optional<std::string> disposition =
            headers.Headers().Value("Content-Disposition"))
        return vq::KindFromDisposition(settings, *disposition).group;
    return 0;
}

bool CVQInet::FetchToFile(const std::string& address, CVQDoc& project, std::string& filePath,
                          std::uint64_t& byteCount) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec)
        return false;
    std::string name = (folder / "vqXXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    ::close(fd);
    CVQFileWriter file;
    if (file.Open(name, false)) {
        ::unlink(name.c_str());
        return false;
    }
    CVQFetchFile body(project, file);
    const CVQTransferResult result = SmallRequest(address, project, body);
    const bool closed = file.Close();
    if (!body.Taken() || result.end != CVQTransferResult::kDone || !closed) {
        ::unlink(name.c_str());
        return false;
    }
    filePath = name;
    byteCount = body.Bytes();
    return true;
}

bool CVQInet::FetchToString(const std::string& address, CVQDoc& project, std::string& text) {
    text.clear();
    CVQCollect page(project, true, true);
    const CVQTransferResult result = SmallRequest(address, project, page);
    if (!page.Taken() || result.end != CVQTransferResult::kDone)
        return false;
    text = std::move(page.Text());
    return true;
}

bool CVQInet::Post(const std::string& address, CVQDoc& project,
                   const std::vector<std::string>& headers, const std::string& body,
                   std::string* answer) {
    m_httpStatus = 0;
    if (!IsHttpAddress(address) || !ParseAddress(address))
        return false;
    CVQTransfer temporary;
    CVQTransfer* transfer = nullptr;
    if (!UseSession(project, temporary, transfer))
        return false;
    CVQTransferRequest request;
    request.url = RequestUrl(project.Settings());
    request.method = CVQTransferRequest::kPost;
    request.headers = headers;
    request.postBody = body;
    AddCredentials(project.Settings(), request);
    CVQCollect collect(project, false, false);
    const CVQTransferResult result = transfer->Perform(request, collect);
    m_httpStatus = collect.Status();
    if (answer)
        *answer = std::move(collect.Text());
    return result.end == CVQTransferResult::kDone && m_httpStatus == 200;
}

bool CVQInet::FindInUrlCache(std::string_view, std::optional<std::int64_t>, std::uint64_t,
                             std::uint64_t& cachedSize, std::string& cacheFile) {
    cachedSize = 0;
    cacheFile.clear();
    return false;
}

std::string CVQInet::ContentTypeForFile(const CVQDoc& project, std::string_view fileName) {
    return vq::ContentTypeForFile(project.Settings(), fileName);
}

bool CVQInet::IsConnected() {
    return vq::AnyInterfaceUp();
}

bool CVQInet::IsWorkOffline() {
    return vq::WorkOffline();
}

void CVQInet::SetWorkOffline(bool offline) {
    vq::SetWorkOffline(offline);
}
