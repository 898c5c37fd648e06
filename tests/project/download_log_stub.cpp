// Stands in for the log writer while it is built elsewhere: the few calls the project makes,
// writing plain CR LF lines so that tests can read what an unattended run logged.
#include "desktop/project/download_log.h"

#include <filesystem>
#include <fstream>
#include <system_error>

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
    std::error_code ec;
    std::filesystem::rename(m_path, newPath, ec);
    m_path = newPath;
    return !ec;
}

void CVQDownloadLog::Text(std::string_view text) {
    std::lock_guard lock(m_lock);
    std::ofstream(m_path, std::ios::binary | std::ios::app) << text << "\r\n";
}
