#include "desktop/address/save_directory.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (std::size_t pos = text.find(what); pos != std::string::npos;
         pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
}

} // namespace

std::string ExpandDirectoryMacros(std::string_view projectDir, const std::tm& t) {
    std::string out(projectDir);
    char buf[32];
    const int year = t.tm_year < 100 ? t.tm_year : t.tm_year - 100;
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", t.tm_mon + 1, t.tm_mday, year % 100);
    ReplaceAll(out, "[%d]", buf);
    std::snprintf(buf, sizeof buf, "%02d_%02d_%02d", t.tm_hour, t.tm_min, t.tm_sec);
    ReplaceAll(out, "[%t]", buf);
    return out;
}

CVQSaveDirectory ExpandSaveDirectory(std::string_view projectDir,
                                     std::string_view defaultDownloadDir, bool expandMacros) {
    CVQSaveDirectory result;
    if (expandMacros) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        result.inUse = ExpandDirectoryMacros(projectDir, local);
    } else {
        result.inUse = std::string(projectDir);
    }
    std::string dir = result.inUse.empty() ? std::string(defaultDownloadDir) : result.inUse;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    result.saveDir = dir;
    dir.pop_back();
    result.created = dir.empty() || CreateDirectories(dir);
    return result;
}

bool CreateDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec || ec != std::errc::no_such_file_or_directory;
}

std::string RenameByType(std::string_view path, std::string_view newExtension) {
    const std::size_t nameStart = path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1;
    const std::size_t caret = path.find('^', nameStart);
    const std::string_view base = path.substr(0, caret);
    const std::string_view query = caret == std::string_view::npos ? std::string_view{} : path.substr(caret);
    const std::size_t dot = base.rfind('.');
    std::string out(dot != std::string_view::npos && dot >= nameStart ? base.substr(0, dot) : base);
    out += '.';
    out += newExtension;
    out += query;
    return out;
}
