// The answer of one Download, from its headers to the last byte in the local file.
#include "desktop/net/download_sink.h"

#include "desktop/address/save_directory.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <algorithm>
#include <filesystem>

namespace {

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

} // namespace

CVQDownloadSink::CVQDownloadSink(CVQDoc& project, int worker, std::string address,
                                 std::string localPath, bool resumeRequested,
                                 std::uint64_t knownSize)
    : m_project(project), m_worker(worker), m_address(std::move(address)),
      m_localPath(std::move(localPath)), m_resumeRequested(resumeRequested),
      m_knownSize(knownSize) {
    m_verdict.localPath = m_localPath;
}

void CVQDownloadSink::UsePreparedCheck(const CVQResponseVerdict& verdict,
                                       std::optional<std::uint64_t> size,
                                       std::optional<std::int64_t> lastModified) {
    m_prepared = true;
    m_accepted = true;
    m_checked = true;
    m_verdict = verdict;
    m_size = size.value_or(0);
    m_lastModified = lastModified;
}

VQBodyAction CVQDownloadSink::OnResponse(const CVQResponseHeaders& headers) {
    if (m_prepared)
        return OpenFile();
    m_headers = headers;
    const int status = headers.Status();
    m_accepted = status == 200 || (status == 206 && m_resumeRequested);
    if (!m_accepted)
        return VQBodyAction::kIgnore;
    const std::uint64_t partial =
        status == 206 ? vq::FileLength(m_localPath).value_or(0) : std::uint64_t{0};
    if (status == 206) {
        const std::optional<std::uint64_t> start = headers.ContentRangeStart();
        if (start && *start != partial) {
            m_rangeMismatch = true;
            return VQBodyAction::kIgnore;
        }
    }

    CVQResponseFacts facts;
    if (const std::optional<std::uint64_t> length = headers.ContentLength())
        facts.size = *length + partial; // a 206 announces only the rest
    facts.lastModified = headers.LastModified();
    facts.contentType = headers.Value("Content-Type");
    facts.contentDisposition = headers.Value("Content-Disposition");
    m_verdict = vq::CheckResponse(
        facts, vq::CheckContextOf(m_project, m_knownSize, m_resumeRequested), m_localPath);
    m_checked = true;
    m_size = facts.size.value_or(0);
    m_lastModified = facts.lastModified;
    if (m_verdict.note == CVQResponseVerdict::kUnchanged)
        ShowRow(IDS_ROW_UNCHANGED);
    if (m_verdict.disposition != kDispTransferred)
        return VQBodyAction::kIgnore;
    return OpenFile();
}

VQBodyAction CVQDownloadSink::OpenFile() {
    ShowRow(IDS_ROW_DOWNLOADING);
    const std::string& path = m_verdict.localPath;
    const std::string directory = ParentDirectory(path);
    // Most files go into a directory that exists already; it is made only when it is missing.
    std::optional<int> error = m_file.Open(path, m_resumeRequested);
    if (error == kErrPathNotFound && !directory.empty()) {
        if (!CreateDirectories(directory)) {
            m_openError = kErrCannotCreateDirectory;
            m_openErrorSubject = directory;
            return VQBodyAction::kIgnore;
        }
        error = m_file.Open(path, m_resumeRequested);
    }
    if (error) {
        m_openError = *error;
        m_openErrorSubject = *error == kErrPathNotFound && !directory.empty() ? directory : path;
        return VQBodyAction::kIgnore;
    }
    m_fileOpened = true;
    if (!m_resumeRequested)
        return VQBodyAction::kReceive;
    if (!m_prepared && m_headers.Status() == 200) {
        // The server sent the whole file: it replaces the partial one instead of following it.
        if (!m_file.Empty()) {
            m_file.Close();
            m_fileOpened = false;
            m_openError = kErrCannotSave;
            m_openErrorSubject = path;
            return VQBodyAction::kIgnore;
        }
        return VQBodyAction::kReceive;
    }
    m_received = m_file.InitialLength();
    return VQBodyAction::kReceive;
}

bool CVQDownloadSink::OnBody(const char* data, std::size_t length) {
    if (!m_file.Write(data, length)) {
        m_writeFailed = true;
        m_diskFull = m_file.DiskFull();
        // A full disk fails every other file too: the whole project stops.
        m_project.Run().stopRequest = true;
        return false;
    }
    m_received += length;
    if (m_size != 0) {
        const int percent =
            static_cast<int>(std::min<std::uint64_t>(m_received * 100 / m_size, 100));
        if (percent != m_shownPercent) {
            m_shownPercent = percent;
            m_percentText = VQFormat(IDS_PROGRESS_PERCENT, percent);
        }
    }
    m_project.Progress(m_worker, m_percentText, length);
    return true;
}

VQInterrupt CVQDownloadSink::Interrupt() {
    CVQDownloadState& run = m_project.Run();
    if (run.stopRequest)
        return VQInterrupt::kStop;
    if (run.TakeSkipRequest(m_worker))
        return VQInterrupt::kSkip;
    return VQInterrupt::kNone;
}

CVQPacing CVQDownloadSink::Pacing() {
    return vq::PacingForSpeedLevel(m_project.Run().speedLevel, m_project.Options().noPacing);
}

bool CVQDownloadSink::CloseFile() {
    if (!m_fileOpened)
        return true;
    m_fileOpened = false;
    return m_file.Close();
}

void CVQDownloadSink::ShowRow(int statusId, const std::string& progress) {
    CVQWorkerRow row;
    row.address = m_address;
    row.sizeText = vq::RowSizeText(m_size);
    row.status = VQText(statusId);
    row.progress = progress;
    m_project.WorkerRow(m_worker, row);
}

namespace vq {

CVQCheckContext CheckContextOf(const CVQDoc& project, std::uint64_t knownSize, bool resumed) {
    const CVQDownloadState& run = project.Run();
    CVQCheckContext context{project.Settings()};
    context.downloadType = run.downloadType;
    context.preview = run.preview;
    context.bytesStored = run.bytesStored;
    context.knownSize = knownSize;
    context.resumed = resumed;
    return context;
}

std::string RowSizeText(std::uint64_t size) {
    return size == 0 ? VQText(IDS_ROW_SIZE_UNKNOWN) : SizeText(size);
}

} // namespace vq
