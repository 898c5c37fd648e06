// Reads the user's folders the way xdg-user-dirs writes them.
#include "platform/user_dirs.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The home folder as the start of a longer path: no trailing slash, empty for the root.
std::string HomePrefix(std::string_view home) {
    std::string prefix = WithoutTrailingSlashes(std::string(home));
    return prefix == "/" ? std::string() : prefix;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// One line of the form  KEY="value"; nullopt when the line is another key or malformed.
std::optional<std::string> ParseLine(std::string_view line, std::string_view key,
                                     std::string_view home) {
    line = SkipBlanks(line);
    if (!line.starts_with(key))
        return std::nullopt;
    line = SkipBlanks(line.substr(key.size()));
    if (!line.starts_with('='))
        return std::nullopt;
    line = SkipBlanks(line.substr(1));
    if (!line.starts_with('"'))
        return std::nullopt;
    line.remove_prefix(1);

    std::string value;
    if (line.starts_with("$HOME")) {
        line.remove_prefix(5);
        if (!line.starts_with('/') && !line.starts_with('"'))
            return std::nullopt;
        value = HomePrefix(home);
    } else if (!line.starts_with('/')) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            return value.empty() ? std::string("/") : WithoutTrailingSlashes(std::move(value));
        if (line[i] == '\\' && i + 1 < line.size())
            ++i;
        value += line[i];
    }
    return std::nullopt; // no closing quote
}

} // namespace

namespace vq {

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return WithoutTrailingSlashes(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir)
        return WithoutTrailingSlashes(found->pw_dir);
    return "/";
}

std::string ConfigHome() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return WithoutTrailingSlashes(config);
    return HomePrefix(HomeDirectory()) + "/.config";
}

std::string DataHome() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return WithoutTrailingSlashes(data);
    return HomePrefix(HomeDirectory()) + "/.local/share";
}

std::string ProgramDataFolder() {
    return DataHome() + "/Velloquin";
}

std::optional<std::string> UserDirsEntry(std::string_view fileText, std::string_view key,
                                         std::string_view home) {
    std::optional<std::string> result;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        const std::string_view line = fileText.substr(0, end);
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
        if (std::optional<std::string> value = ParseLine(line, key, home))
            result = std::move(value);
    }
    return result;
}

std::string DocumentsDirectory(std::string_view configHome, std::string_view home) {
    std::ifstream file(std::string(configHome) + "/user-dirs.dirs", std::ios::binary);
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        if (std::optional<std::string> dir = UserDirsEntry(text.str(), "XDG_DOCUMENTS_DIR", home))
            return *dir;
    }
    return HomePrefix(home) + "/Documents";
}

std::string DocumentsDirectory() {
    return DocumentsDirectory(ConfigHome(), HomeDirectory());
}

} // namespace vq
