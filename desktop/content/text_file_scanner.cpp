// Line-by-line scan of style sheets and scripts.
#include "desktop/content/text_file_scanner.h"

#include "desktop/content/tag_table.h"

#include <cstring>
#include <vector>

void CVQTextFileScanner::Scan(CVQByteSource& source, CVQLinkSink& sink) const {
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<char> buf(kBlock + kLineBytes);
    std::size_t have = 0;      // bytes in buf
    std::size_t lineStart = 0; // page offset of buf[0]
    bool eof = false;
    int lines = 0;
    while (true) {
        if (!eof && have < kLineBytes) {
            const std::size_t n = source.Read(buf.data() + have, buf.size() - have);
            have += n;
            eof = n == 0;
        }
        if (have == 0)
            return;
        // One line: through its line feed, at most kLineBytes.
        const std::size_t window = std::min(have, kLineBytes);
        const void* lf = std::memchr(buf.data(), '\n', window);
        const std::size_t length =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - buf.data()) + 1 : window;
        if (!lf && length < kLineBytes && !eof)
            continue; // the rest of the line is still to come
        const std::string_view line(buf.data(), length);
        CVQLinkList links;
        m_scanner.ScanStrings(line, links);
        m_scanner.ScanUrlValues(line, links);
        for (CVQFoundLink& link : links)
            link.offset += lineStart;
        if (!links.empty())
            sink.Links(links, kRowNone, {});
        std::memmove(buf.data(), buf.data() + length, have - length);
        have -= length;
        lineStart += length;
        if (++lines % kPollInterval == 0 && !sink.KeepGoing())
            return;
    }
}
