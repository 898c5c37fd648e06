// The scan of style sheets and script files: every line is searched for string literals and
// "url(" values.
#pragma once

#include "desktop/content/byte_source.h"
#include "desktop/content/link_sink.h"
#include "desktop/content/string_scanner.h"

#include <initializer_list>
#include <string_view>

class CVQTextFileScanner {
public:
    // A file is read in lines of at most this many bytes; a literal split by it is lost.
    static constexpr std::size_t kLineBytes = 4160;
    static constexpr int kPollInterval = 50;

    explicit CVQTextFileScanner(const CVQStringScanner& scanner) : m_scanner(scanner) {}

    // Delivers the links of each line (row kRowNone) with their offsets in the file.
    void Scan(CVQByteSource& source, CVQLinkSink& sink) const;

    // Whether any of words (letter case counts) stands within the first maxLines lines: the
    // sign of code, which is rewritten, rather than of plain text.
    static bool HoldsWithinLines(CVQByteSource& source,
                                 std::initializer_list<std::string_view> words, int maxLines);

private:
    const CVQStringScanner& m_scanner;
};
