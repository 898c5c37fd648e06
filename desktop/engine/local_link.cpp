// Relative local paths and their form in a link.
#include "desktop/engine/local_link.h"

#include <vector>

namespace {

std::vector<std::string_view> Segments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start)
            segments.push_back(path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return segments;
}

bool IsKept(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '/':
    case '!':
    case '$':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case '@':
        return true;
    default:
        return false;
    }
}

} // namespace

namespace vq {

std::string RelativeLinkPath(std::string_view target, std::string_view pagePath) {
    const std::vector<std::string_view> to = Segments(target);
    for (std::string_view segment : to)
        if (segment == "..")
            return std::string(target);
    if (target.empty() || target.front() != '/' || pagePath.empty() || pagePath.front() != '/')
        return std::string(target);
    const std::size_t slash = pagePath.rfind('/');
    const std::vector<std::string_view> from = Segments(pagePath.substr(0, slash));
    // Only directories are shared: the target's last segment is its file name.
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i)
        out += "../";
    for (std::size_t i = common; i < to.size(); ++i) {
        out += to[i];
        if (i + 1 < to.size())
            out += '/';
    }
    if (!target.empty() && target.back() == '/' && !out.empty())
        out += '/';
    return out;
}

std::string EncodeLocalPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsKept(c)) {
            out += ch;
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

} // namespace vq
