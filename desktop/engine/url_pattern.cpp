// Matching a text against a URL filter pattern.
#include "desktop/engine/url_pattern.h"

#include "desktop/address/text_util.h"

#include <string>

namespace vq {

namespace {

constexpr std::string_view kWildcards = "*^";

bool IsWildcard(char c) {
    return c == '*' || c == '^';
}

} // namespace

bool MatchUrlPattern(std::string_view text, std::string_view pattern) {
    if (pattern.empty())
        return true;
    if (pattern.find_first_of(kWildcards) == std::string_view::npos)
        return EqualsIgnoreCase(text, pattern);

    const std::string t = ToLowerAscii(text);
    const std::string p = ToLowerAscii(pattern);
    // end: the index in t just after the last run found; -1 while none was found.
    long long end = -1;
    std::size_t i = 0;
    while (i < p.size()) {
        if (IsWildcard(p[i])) {
            // A wildcard at the start or after another wildcard stands for one character.
            if (i + 1 == p.size() && p[i] == '^' && static_cast<long long>(t.size()) != end + 2)
                return false;
            ++end;
            ++i;
            continue;
        }
        const std::size_t runEnd = p.find_first_of(kWildcards, i);
        const std::size_t runLength = (runEnd == std::string::npos ? p.size() : runEnd) - i;
        if (i > t.size())
            return false;
        const std::size_t at = t.find(std::string_view(p).substr(i, runLength), i);
        if (at == std::string::npos)
            return false;
        if (runEnd == std::string::npos)
            return true;

        const char wildcard = p[runEnd];
        const auto start = static_cast<long long>(at);
        if (end >= 0) {
            if (wildcard == '^' && start != end + 1)
                return false;
            if (wildcard == '*' && start <= end)
                return false;
        }
        const std::size_t after = at + runLength;
        if (runEnd + 1 == p.size()) {
            const std::size_t left = t.size() - after;
            if (wildcard == '^' ? left != 1 : left < 1)
                return false;
        }
        end = static_cast<long long>(after);
        i = runEnd + 1;
    }
    return true;
}

} // namespace vq
