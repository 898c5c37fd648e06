#include "desktop/address/text_util.h"

#include <cstring>

namespace vq {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

// Candidates are found with memchr on both cases of the first character, a stretch of the text
// at a time, so that a case that does not occur is not searched for to the end of the text
// again and again.
std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from) {
    constexpr std::size_t npos = std::string_view::npos;
    constexpr std::size_t kStretch = 4096;
    if (needle.empty())
        return from <= text.size() ? from : npos;
    if (from > text.size() || needle.size() > text.size() - from)
        return npos;
    const char lower = AsciiLower(needle[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    const std::string_view rest = needle.substr(1);
    const char* const begin = text.data();
    const char* const last = begin + (text.size() - needle.size() + 1); // one past the last start
    for (const char* stretch = begin + from; stretch < last; stretch += kStretch) {
        const char* const end = last - stretch > static_cast<std::ptrdiff_t>(kStretch)
                                    ? stretch + kStretch
                                    : last;
        const auto next = [end](const char* at, char c) -> const char* {
            const void* hit = at < end ? memchr(at, c, static_cast<std::size_t>(end - at)) : nullptr;
            return hit ? static_cast<const char*>(hit) : end;
        };
        const char* nextLower = next(stretch, lower);
        const char* nextUpper = upper == lower ? end : next(stretch, upper);
        while (true) {
            const char* at = nextLower < nextUpper ? nextLower : nextUpper;
            if (at == end)
                break;
            if (EqualsIgnoreCase(std::string_view(at + 1, rest.size()), rest))
                return static_cast<std::size_t>(at - begin);
            if (at == nextLower)
                nextLower = next(at + 1, lower);
            else
                nextUpper = next(at + 1, upper);
        }
    }
    return npos;
}

static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

// find_last_of with a two-character set calls memchr once per character; two vectorised
// reverse scans are much cheaper on long file names.
std::size_t FindLastSlash(std::string_view text) {
    if (text.empty())
        return std::string_view::npos;
    const void* slash = memrchr(text.data(), '/', text.size());
    const void* from = slash ? static_cast<const char*>(slash) + 1 : text.data();
    const std::size_t rest =
        text.size() - static_cast<std::size_t>(static_cast<const char*>(from) - text.data());
    const void* backslash = memrchr(from, '\\', rest);
    const void* last = backslash ? backslash : slash;
    return last ? static_cast<std::size_t>(static_cast<const char*>(last) - text.data())
                : std::string_view::npos;
}

std::size_t FindFirstSlash(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (IsSlash(text[i]))
            return i;
    return std::string_view::npos;
}

} // namespace vq
