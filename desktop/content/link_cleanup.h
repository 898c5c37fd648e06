// The clean-up every found link gets before it is resolved (character references, tabs,
// length, blanks), and the test whether a link is one the download follows at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CVQLinkCleanup {
public:
    // Longer links are cut.
    static constexpr std::size_t kMaxLinkLength = 1039;

    // References decoded (the named entities "&quot;", "&amp;", "&lt;", "&gt;" and those of
    // ISO 8859-1 160-255, names compared exactly; "&#65;" and "&#x41;"; a code below 32
    // removes the whole reference), tabs and other control characters removed, cut to 1039
    // bytes, blanks trimmed.
    static std::string Clean(std::string_view link);

    // Only the references decoded. Codes from 128 on become their UTF-8 bytes; a code that no
    // character has is removed like a control code.
    static std::string DecodeReferences(std::string_view text);

    // Whether a link leads to something the download can fetch: a relative link, a drive
    // path, an http, https, ftp or file address, or a query that holds a ":" ("mailto:",
    // "javascript:" and "news:" links are not followed).
    static bool IsFollowable(std::string_view link);
};
