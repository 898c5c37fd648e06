#include "desktop/address/text_util.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vq {

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

namespace {

// The first position in [at, end) whose byte equals c ignoring ASCII case (c in lower case).
const char* NextIgnoringCase(const char* at, const char* end, char lower) {
    if (lower < 'a' || lower > 'z') {
        const void* hit =
            at < end ? memchr(at, lower, static_cast<std::size_t>(end - at)) : nullptr;
        return hit ? static_cast<const char*>(hit) : end;
    }
#if defined(__SSE2__)
    // For a letter, setting the case bit of every byte folds exactly its two cases together.
    const __m128i wanted = _mm_set1_epi8(lower);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    while (end - at >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(block, caseBit), wanted));
        if (mask != 0)
            return at + __builtin_ctz(static_cast<unsigned>(mask));
        at += 16;
    }
#endif
    while (at < end && (*at | 0x20) != lower)
        ++at;
    return at;
}

} // namespace

std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from) {
    constexpr std::size_t npos = std::string_view::npos;
    if (needle.empty())
        return from <= text.size() ? from : npos;
    if (from > text.size() || needle.size() > text.size() - from)
        return npos;
    const char lower = AsciiLower(needle[0]);
    const std::string_view rest = needle.substr(1);
    const char* const begin = text.data();
    const char* const end = begin + (text.size() - needle.size() + 1); // one past the last start
    for (const char* at = NextIgnoringCase(begin + from, end, lower); at < end;
         at = NextIgnoringCase(at + 1, end, lower))
        if (EqualsIgnoreCase(std::string_view(at + 1, rest.size()), rest))
            return static_cast<std::size_t>(at - begin);
    return npos;
}

std::size_t FindFirstOf(std::string_view text, std::string_view set, std::size_t from) {
    std::uint64_t wanted[4] = {};
    for (char c : set) {
        const auto byte = static_cast<unsigned char>(c);
        wanted[byte >> 6] |= std::uint64_t{1} << (byte & 63);
    }
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((wanted[byte >> 6] >> (byte & 63)) & 1)
            return i;
    }
    return std::string_view::npos;
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

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = AsciiLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (lo < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

} // namespace vq
