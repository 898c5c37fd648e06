// The 27 rows of the page scan and the nearest-opening search.
#include "desktop/content/tag_table.h"

#include "desktop/address/text_util.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::array<CVQTagRowInfo, kRowCount> kRows = {{
    {"<TITLE>", "</TITLE>", false},
    {"<FRAME", ">", true},
    {"<IFRAME", ">", true},
    {"<BODY", ">", true},
    {"<A", ">", true},
    {"<IMG", ">", true},
    {"<APPLET", "/APPLET>", true},
    {"<BGSOUND", ">", true},
    {"<AREA", ">", true},
    {"<OBJECT", "/OBJECT>", true},
    {"<EMBED", ">", true},
    {"<SCRIPT", "/SCRIPT>", true},
    {"<META", ">", true},
    {"<FORM", "/FORM>", true},
    {"<INPUT", ">", true},
    {"<SELECT", "/SELECT>", true},
    {"<!--", "-->", false},
    {"<LINK", ">", true},
    {"<TABLE", ">", true},
    {"<TH", ">", true},
    {"<TD", ">", true},
    {"<BASE", ">", true},
    {"<STYLE", "/STYLE>", true},
    {"URL(", ")", false},
    {"<DIV", ">", true},
    {"<AUDIO", ">", true},
    {"<VIDEO", ">", true},
}};

constexpr char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWord(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>';
}

bool MatchesRow(std::string_view line, std::size_t pos, const CVQTagRowInfo& row) {
    const std::size_t end = pos + row.opening.size();
    if (end > line.size())
        return false;
    for (std::size_t i = 0; i < row.opening.size(); ++i)
        if (Lower(line[pos + i]) != Lower(row.opening[i]))
            return false;
    return !row.wholeWord || end == line.size() || EndsWord(line[end]);
}

// The rows whose opening starts with "<" and the given (lower-case) second character, in row
// order; at most four share one.
struct SecondCharIndex {
    std::array<std::array<std::int8_t, 5>, 256> rows{};

    SecondCharIndex() {
        for (auto& list : rows)
            list.fill(-1);
        for (int row = 0; row < kRowCount; ++row) {
            const std::string_view opening = kRows[static_cast<std::size_t>(row)].opening;
            if (opening[0] != '<')
                continue;
            auto& list = rows[static_cast<unsigned char>(Lower(opening[1]))];
            std::size_t i = 0;
            while (list[i] != -1)
                ++i;
            list[i] = static_cast<std::int8_t>(row);
        }
    }
};

const SecondCharIndex& Index() {
    static const SecondCharIndex index;
    return index;
}

// The first position in [at, end) that holds "<", "u" or "U": where an opening may start.
const char* NextCandidate(const char* at, const char* end) {
#if defined(__SSE2__)
    const __m128i angle = _mm_set1_epi8('<');
    const __m128i letterU = _mm_set1_epi8('u');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    while (end - at >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, angle),
                                          _mm_cmpeq_epi8(_mm_or_si128(block, caseBit), letterU));
        if (const int mask = _mm_movemask_epi8(hits); mask != 0)
            return at + __builtin_ctz(static_cast<unsigned>(mask));
        at += 16;
    }
#endif
    while (at < end && *at != '<' && (*at | 0x20) != 'u')
        ++at;
    return at;
}

} // namespace

const CVQTagRowInfo& CVQTagTable::Row(int row) {
    return kRows[static_cast<std::size_t>(row)];
}

int CVQTagTable::MatchAt(std::string_view line, std::size_t pos) {
    if (pos + 1 >= line.size())
        return kRowNone;
    const char c = line[pos];
    if (c == 'u' || c == 'U')
        return MatchesRow(line, pos, kRows[kRowUrl]) ? kRowUrl : kRowNone;
    if (c != '<')
        return kRowNone;
    for (const std::int8_t row : Index().rows[static_cast<unsigned char>(Lower(line[pos + 1]))]) {
        if (row < 0)
            break;
        if (MatchesRow(line, pos, kRows[static_cast<std::size_t>(row)]))
            return row;
    }
    return kRowNone;
}

CVQTagMatch CVQTagTable::FindNext(std::string_view line, std::size_t from, std::size_t startEnd) {
    startEnd = std::min(startEnd, line.size());
    if (from >= startEnd)
        return {};
    const char* const begin = line.data();
    const char* const end = begin + startEnd;
    for (const char* at = NextCandidate(begin + from, end); at < end;
         at = NextCandidate(at + 1, end)) {
        const std::size_t pos = static_cast<std::size_t>(at - begin);
        if (const int row = MatchAt(line, pos); row != kRowNone)
            return {row, pos};
    }
    return {};
}

bool CVQTagTable::IsScannedInside(int row) {
    if (row == kRowAnchor || row == kRowTh || row == kRowTd || row == kRowForm)
        return true;
    // A tag that closes at ">" and holds further openings was left open by the page (an
    // "<IMG" without its ">" before an "<A"), or carries an inline style with "url(": the
    // tags inside it are read as well, so that a broken tag does not hide the links after it.
    return row >= 0 && row < kRowCount && row != kRowUrl && row != kRowComment &&
           kRows[static_cast<std::size_t>(row)].closing == ">";
}
