// The link test.
#include "desktop/content/link_test.h"

#include "desktop/address/text_util.h"

#include <array>

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::array<std::string_view, 4> kPrefixes = {"http://", "https://", "ftp://", "file://"};

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool HoldsForbidden(std::string_view text) {
    return vq::FindFirstOf(text, "\"'@;()") != npos || text.find("&quot;") != npos;
}

// The extension of a link as a page writes it: of the name after the last slash, with any
// fragment, query ("?" or the stored "^") and ";" parameters cut off first ("a.php?x=1.5" is a
// php link, "page.htm#top" an htm one).
std::string_view LinkExtension(std::string_view link) {
    std::size_t start = 0;
    std::size_t end = link.size();
    for (std::size_t i = 0; i < link.size(); ++i) {
        const char c = link[i];
        if (c == '#' || c == '?' || c == '^' || c == ';') {
            end = i;
            break;
        }
        if (c == '/' || c == '\\')
            start = i + 1;
    }
    const std::string_view name = link.substr(start, end - start);
    const std::size_t dot = name.rfind('.');
    return dot == npos ? std::string_view() : name.substr(dot + 1);
}

std::size_t FirstBlank(std::string_view text, std::size_t from) {
    const std::size_t blank = vq::FindFirstOf(text, " \t", from);
    return blank == npos ? text.size() : blank;
}

} // namespace

CVQSpan CVQLinkTest::Test(std::string_view text) const {
    std::string_view examined = text.substr(0, kExaminedChars);
    if (examined.empty())
        return {};
    for (std::string_view prefix : kPrefixes) {
        const std::size_t at = vq::FindIgnoreCase(examined, prefix);
        if (at == npos)
            continue;
        examined = examined.substr(at, FirstBlank(examined, at) - at);
        if (HoldsForbidden(examined))
            return {};
        return {at, FirstBlank(text, at) - at};
    }
    if (examined.back() != '/') {
        if (examined == "." || (examined.size() > 1 && examined[0] == '.' && IsAlnum(examined[1])))
            return {};
        if (!m_classifier.IsKnownExtension(LinkExtension(examined)))
            return {};
    }
    if (HoldsForbidden(examined))
        return {};
    return {0, text.size()};
}
