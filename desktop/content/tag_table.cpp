// The 27 rows of the page scan and the nearest-opening search.
#include "desktop/content/tag_table.h"

#include "desktop/address/text_util.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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

const char* NextOf(const char* at, const char* end, char c) {
    const void* hit = at < end ? memchr(at, c, static_cast<std::size_t>(end - at)) : nullptr;
    return hit ? static_cast<const char*>(hit) : end;
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

// A stretch of the line at a time, so that a character the line lacks is not searched for
// to its end again for every tag.
CVQTagMatch CVQTagTable::FindNext(std::string_view line, std::size_t from,
                                  std::size_t startEnd) {
    constexpr std::size_t kStretch = 4096;
    startEnd = std::min(startEnd, line.size());
    const char* const begin = line.data();
    for (std::size_t stretch = from; stretch < startEnd; stretch += kStretch) {
        const char* const end = begin + std::min(startEnd, stretch + kStretch);
        const char* nextAngle = NextOf(begin + stretch, end, '<');
        const char* nextLower = NextOf(begin + stretch, end, 'u');
        const char* nextUpper = NextOf(begin + stretch, end, 'U');
        while (true) {
            const char* at = nextAngle;
            if (nextLower < at)
                at = nextLower;
            if (nextUpper < at)
                at = nextUpper;
            if (at == end)
                break;
            const std::size_t pos = static_cast<std::size_t>(at - begin);
            const int row = MatchAt(line, pos);
            if (row != kRowNone)
                return {row, pos};
            if (at == nextAngle)
                nextAngle = NextOf(at + 1, end, '<');
            else if (at == nextLower)
                nextLower = NextOf(at + 1, end, 'u');
            else
                nextUpper = NextOf(at + 1, end, 'U');
        }
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
