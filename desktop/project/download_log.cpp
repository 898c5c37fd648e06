// Writing the download log entry by entry and loading it for the log panel.
#include "desktop/project/download_log.h"

#include "desktop/project/prj_settings.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

constexpr std::string_view kLineBreak = "\r\n";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool WriteAll(std::FILE* file, std::string_view text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Writes and closes; a failed close (a full disk on flush) is a failed write too.
bool WriteAndClose(File file, std::string_view text) {
    const bool written = WriteAll(file.get(), text);
    return std::fclose(file.release()) == 0 && written;
}

} // namespace

std::string CVQDownloadLog::PathFor(std::string_view projectPath, std::string_view saveDirInUse,
                                    std::string_view title) {
    if (projectPath.empty())
        return vq::DirectoryWithSlash(saveDirInUse) + vq::LegalFileName(title) + ".log";
    return vq::ReplaceExtension(projectPath, "log");
}

void CVQDownloadLog::SetPath(const std::string& path) {
    std::lock_guard lock(m_lock);
    m_path = path;
}

std::string CVQDownloadLog::Path() const {
    std::lock_guard lock(m_lock);
    return m_path;
}

bool CVQDownloadLog::MoveTo(const std::string& newPath) {
    std::lock_guard lock(m_lock);
    if (newPath == m_path)
        return true;
    if (!m_path.empty() && Exists(m_path)) {
        std::error_code error;
        std::filesystem::rename(m_path, newPath, error);
        if (error)
            return false;
    }
    m_path = newPath;
    return true;
}

void CVQDownloadLog::SetPanelSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(m_lock);
    m_sink = std::move(sink);
}

void CVQDownloadLog::SetPanelClear(std::function<void()> clear) {
    std::lock_guard lock(m_lock);
    m_clear = std::move(clear);
}

bool CVQDownloadLog::Start(bool keepPrevious) {
    std::lock_guard lock(m_lock);
    if (m_clear)
        m_clear();
    if (m_path.empty())
        return false;
    const bool existed = keepPrevious && Exists(m_path);
    File file(std::fopen(m_path.c_str(), keepPrevious ? "ab" : "wb"));
    if (!file)
        return false;
    return WriteAndClose(std::move(file), existed ? "\r\n**********\r\n" : "");
}

bool CVQDownloadLog::Started(bool preview, const std::tm& localTime) {
    const std::string when = vq::DateTimeText(localTime, true);
    return Append(VQFormat(preview ? IDS_LOG_PREVIEW_STARTED : IDS_LOG_STARTED, when.c_str()) +
                  std::string(kLineBreak));
}

bool CVQDownloadLog::Completed(bool preview, const std::tm& localTime) {
    const std::string when = vq::DateTimeText(localTime, true);
    return Append(std::string(kLineBreak) +
                  VQFormat(preview ? IDS_LOG_PREVIEW_COMPLETED : IDS_LOG_COMPLETED, when.c_str()) +
                  std::string(kLineBreak));
}

bool CVQDownloadLog::Stopped(bool preview, const std::tm& localTime, int stopReason) {
    static constexpr int kReasons[] = {IDS_LOG_STOP_FILES, IDS_LOG_STOP_TIME, IDS_LOG_STOP_DISK};
    const std::string when = vq::DateTimeText(localTime, true);
    std::string entry = std::string(kLineBreak) +
                        VQFormat(preview ? IDS_LOG_PREVIEW_STOPPED : IDS_LOG_STOPPED, when.c_str());
    if (stopReason >= 1 && stopReason <= 3)
        entry += VQText(kReasons[stopReason - 1]);
    return Append(entry + std::string(kLineBreak));
}

bool CVQDownloadLog::Summary(std::uint64_t filesStored, std::uint64_t bytesStored) {
    const int files = filesStored > INT_MAX ? INT_MAX : static_cast<int>(filesStored);
    const std::string size = vq::SizeText(bytesStored);
    return Append(std::string(kLineBreak) + VQFormat(IDS_LOG_SUMMARY, files, size.c_str()) +
                  std::string(kLineBreak));
}

bool CVQDownloadLog::Text(std::string_view text) {
    return Append(std::string(text) + std::string(kLineBreak));
}

bool CVQDownloadLog::Append(const std::string& entry) {
    std::lock_guard lock(m_lock);
    if (m_sink)
        m_sink(entry);
    if (m_path.empty())
        return false;
    File file(std::fopen(m_path.c_str(), "ab"));
    return file && WriteAndClose(std::move(file), entry);
}

std::string CVQDownloadLog::LoadForPanel() const {
    std::lock_guard lock(m_lock);
    File file(m_path.empty() ? nullptr : std::fopen(m_path.c_str(), "rb"));
    if (!file)
        return {};
    const std::string note = VQText(IDS_LOG_TOO_BIG);
    const std::size_t reserved = note.size() + kLineBreak.size();
    const std::size_t limit = kPanelLimit > reserved ? kPanelLimit - reserved : 0;
    // One byte more than the limit tells whether the file is longer.
    std::string text(limit + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (text.size() <= limit)
        return text;
    text.resize(limit);
    return text + std::string(kLineBreak) + note;
}
