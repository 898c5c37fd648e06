// The scanners that pick addresses out of script and style text: string literals in double
// quotes, single quotes and escaped double quotes, and "url(...)" values.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_test.h"

#include <string_view>

class CVQStringScanner {
public:
    explicit CVQStringScanner(const CVQLinkTest& test) : m_test(test) {}

    // The three string scanners, one after the other, over text. Links get their position in
    // text as offset.
    void ScanStrings(std::string_view text, CVQLinkList& out) const;

    // "url(" values: after "url" and "(" with only blanks between, the text up to ")" without
    // surrounding quotes; each must pass the link test.
    void ScanUrlValues(std::string_view text, CVQLinkList& out) const;

    // The value of one "url(...)" whose "(" is at open; not Found() when it is not a link.
    CVQSpan UrlValue(std::string_view text, std::size_t open, std::size_t* end) const;

    // The literals between single quotes of text that pass the link test (event attributes).
    void ScanSingleQuoted(std::string_view text, std::size_t base, CVQLinkList& out) const;

    // Adds text[pos, pos+length) as a link standing at pos + base.
    static void Add(std::string_view text, std::size_t pos, std::size_t length, std::size_t base,
                    CVQLinkList& out);

private:
    void ScanDelimited(std::string_view text, std::string_view delimiter, bool orQuotEntity,
                       CVQLinkList& out) const;
    void TakeLiteral(std::string_view text, std::size_t pos, std::size_t length, std::size_t after,
                     CVQLinkList& out) const;

    const CVQLinkTest& m_test;
};
