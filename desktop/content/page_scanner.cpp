// Line-aware tag scan over a sliding window of the page.
#include "desktop/content/page_scanner.h"

#include "desktop/content/tag_end_finder.h"
#include "desktop/content/tag_table.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;
// The longest opening ("<BGSOUND") and the byte after it that the whole-word rule looks at.
constexpr std::size_t kOpeningLookahead = 9;

std::size_t CountLineFeeds(const char* at, const char* end) {
    std::size_t count = 0;
#if defined(__SSE2__)
    // Byte counters, each adding one per line feed in its lane, summed before they overflow.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (end - at >= 16) {
        __m128i counters = zero;
        for (int round = 0; round < 255 && end - at >= 16; ++round, at += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(block, lf));
        }
        const __m128i sums = _mm_sad_epu8(counters, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
#endif
    for (; at < end; ++at)
        count += *at == '\n';
    return count;
}

} // namespace

bool CVQPageScanner::ReadMore(CVQByteSource& source) {
    if (m_eof)
        return false;
    if (m_capacity - m_size < kReadBlock) {
        const std::size_t capacity = std::max(2 * m_capacity, m_size + kReadBlock);
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }
    const std::size_t n = source.Read(m_data.get() + m_size, kReadBlock);
    m_size += n;
    if (n == 0)
        m_eof = true;
    return n > 0;
}

void CVQPageScanner::Discard(std::size_t before) {
    const std::size_t drop = before - m_base;
    if (drop < kReadBlock || drop * 2 < m_size)
        return;
    std::memmove(m_data.get(), m_data.get() + drop, m_size - drop);
    m_size -= drop;
    m_base = before;
}

// Moves the scan position forward, counting the lines passed.
void CVQPageScanner::Advance(std::size_t to) {
    if (to <= m_pos)
        return;
    const char* from = m_data.get() + (m_pos - m_base);
    const std::size_t length = to - m_pos;
    if (const void* last = memrchr(from, '\n', length)) {
        m_lines += CountLineFeeds(from, from + length);
        m_lineStart = m_pos + static_cast<std::size_t>(static_cast<const char*>(last) - from) + 1;
    }
    m_pos = to;
}

bool CVQPageScanner::CrossesLineSplit(std::size_t pos, std::size_t length) const {
    const std::size_t first = (pos - m_lineStart) / kLineBytes;
    const std::size_t last = (pos + length - 1 - m_lineStart) / kLineBytes;
    return first != last;
}

bool CVQPageScanner::Poll(Receiver& receiver, bool tag) {
    const std::size_t splitLines = (m_pos - m_lineStart) / kLineBytes;
    const bool due = (tag && ++m_tagsSincePoll >= kPollInterval) ||
                     m_lines + splitLines >= m_linesAtPoll + kPollInterval;
    if (!due)
        return true;
    m_tagsSincePoll = 0;
    m_linesAtPoll = m_lines + splitLines;
    if (receiver.KeepGoing())
        return true;
    m_stopped = true;
    return false;
}

void CVQPageScanner::Scan(CVQByteSource& source, Receiver& receiver) {
    CVQTagEndFinder finder;
    while (true) {
        while (!m_eof && m_size + m_base < m_pos + kOpeningLookahead)
            ReadMore(source);
        const std::size_t end = m_base + m_size;
        if (m_pos >= end)
            return;
        // Without the end of the page in the window, an opening at its very end cannot be
        // judged yet: it waits for the next block.
        const std::size_t searchEnd = m_eof ? end : end - kOpeningLookahead;
        const std::string_view region(m_data.get() + (m_pos - m_base), end - m_pos);
        const CVQTagMatch match = CVQTagTable::FindNext(region, 0, searchEnd - m_pos);
        if (!match.Found()) {
            Advance(searchEnd);
            if (!Poll(receiver, false))
                return;
            Discard(m_pos);
            if (m_eof)
                return;
            ReadMore(source);
            continue;
        }
        const std::size_t open = m_pos + match.pos;
        const std::size_t openingLength = CVQTagTable::Row(match.row).opening.size();
        Advance(open);
        if (CrossesLineSplit(open, openingLength)) {
            Advance(open + 1);
            continue;
        }

        std::size_t tagEnd = 0;
        CVQTagEndFinder::Result result;
        while (true) {
            const CVQTextWindow window{std::string_view(m_data.get(), m_size), m_base, m_eof};
            result = finder.Find(window, match.row, open, open + kMaxTagBytes, tagEnd);
            if (result != CVQTagEndFinder::Result::NeedMore)
                break;
            ReadMore(source);
        }
        if (result == CVQTagEndFinder::Result::NotFound) {
            // An unterminated tag: the text after its opening is scanned as if it were not there.
            if (m_restarts == kMaxRestarts)
                return;
            ++m_restarts;
            Advance(open + openingLength);
            continue;
        }
        receiver.Tag(match.row, std::string_view(m_data.get() + (open - m_base), tagEnd - open),
                     open);
        Advance(tagEnd);
        if (!Poll(receiver, true))
            return;
        Discard(m_pos);
    }
}
