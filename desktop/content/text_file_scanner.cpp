// Line-by-line scan of style sheets and scripts.
#include "desktop/content/text_file_scanner.h"

#include "desktop/content/tag_table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

void CVQTextFileScanner::Scan(CVQByteSource& source, CVQLinkSink& sink) const {
    constexpr std::size_t kBlock = 64 * 1024;
    constexpr std::size_t kCapacity = kBlock + kLineBytes;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kCapacity);
    char* const buf = buffer.get();
    std::size_t begin = 0;     // the current line's first byte in buf
    std::size_t have = 0;      // bytes in buf
    std::size_t lineStart = 0; // file offset of buf[begin]
    bool eof = false;
    int lines = 0;
    while (true) {
        if (!eof && have - begin < kLineBytes) {
            // Less than a whole line is left: move it to the front and read on.
            std::memmove(buf, buf + begin, have - begin);
            have -= begin;
            begin = 0;
            const std::size_t n = source.Read(buf + have, kCapacity - have);
            have += n;
            eof = n == 0;
        }
        if (have == begin)
            return;
        // One line: through its line feed, at most kLineBytes.
        const std::size_t window = std::min(have - begin, kLineBytes);
        const void* lf = std::memchr(buf + begin, '\n', window);
        const std::size_t length =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - (buf + begin)) + 1
               : window;
        if (!lf && length < kLineBytes && !eof)
            continue; // the rest of the line is still to come
        const std::string_view line(buf + begin, length);
        CVQLinkList links;
        m_scanner.ScanStrings(line, links);
        m_scanner.ScanUrlValues(line, links);
        for (CVQFoundLink& link : links)
            link.offset += lineStart;
        if (!links.empty())
            sink.Links(links, kRowNone, {{}, line, lineStart, lineStart, line.size()});
        begin += length;
        lineStart += length;
        if (++lines % kPollInterval == 0 && !sink.KeepGoing())
            return;
    }
}

bool CVQTextFileScanner::HoldsWithinLines(CVQByteSource& source,
                                          std::initializer_list<std::string_view> words,
                                          int maxLines) {
    constexpr std::size_t kBlock = 64 * 1024;
    std::size_t keep = 0; // bytes of the last block kept, for a word split between two blocks
    for (std::string_view word : words)
        keep = std::max(keep, word.size() - 1);
    std::string window;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlock);
    int lines = 0;
    while (lines < maxLines) {
        const std::size_t n = source.Read(buffer.get(), kBlock);
        if (n == 0)
            return false;
        std::string_view block(buffer.get(), n);
        // Only the part of the block up to the end of the last line looked at counts.
        std::size_t end = 0;
        while (end < block.size() && lines < maxLines) {
            const void* lf = std::memchr(block.data() + end, '\n', block.size() - end);
            if (!lf) {
                end = block.size();
                break;
            }
            end = static_cast<std::size_t>(static_cast<const char*>(lf) - block.data()) + 1;
            ++lines;
        }
        window.append(block.substr(0, end));
        for (std::string_view word : words)
            if (window.find(word) != std::string::npos)
                return true;
        if (window.size() > keep)
            window.erase(0, window.size() - keep);
    }
    return false;
}
