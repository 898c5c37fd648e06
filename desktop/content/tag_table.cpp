// The 27 rows of the page scan and the nearest-opening search.
#include "desktop/content/tag_table.h"

#include "desktop/address/text_util.h"

#include <algorithm>
#include <array>
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

bool EndsWord(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>';
}

bool MatchesRow(std::string_view line, std::size_t pos, const CVQTagRowInfo& row) {
    const std::size_t end = pos + row.opening.size();
    if (end > line.size() ||
        !vq::EqualsIgnoreCase(line.substr(pos, row.opening.size()), row.opening))
        return false;
    return !row.wholeWord || end == line.size() || EndsWord(line[end]);
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
    if (pos >= line.size())
        return kRowNone;
    const char c = line[pos];
    if (c == 'u' || c == 'U')
        return MatchesRow(line, pos, kRows[kRowUrl]) ? kRowUrl : kRowNone;
    if (c != '<' || pos + 1 >= line.size())
        return kRowNone;
    const char second = vq::AsciiLower(line[pos + 1]);
    for (int row = 0; row < kRowCount; ++row) {
        const CVQTagRowInfo& info = kRows[static_cast<std::size_t>(row)];
        if (info.opening[0] == '<' && vq::AsciiLower(info.opening[1]) == second &&
            MatchesRow(line, pos, info))
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
    const char* nextAngle = NextOf(begin + from, end, '<');
    const char* nextLower = NextOf(begin + from, end, 'u');
    const char* nextUpper = NextOf(begin + from, end, 'U');
    while (true) {
        const char* at = nextAngle;
        if (nextLower < at)
            at = nextLower;
        if (nextUpper < at)
            at = nextUpper;
        if (at == end)
            return {};
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

bool CVQTagTable::IsScannedInside(int row) {
    if (row == kRowAnchor || row == kRowTh || row == kRowTd || row == kRowForm)
        return true;
    // A tag that closes at ">" and holds further openings was left open by the page (an
    // "<IMG" without its ">" before an "<A"), or carries an inline style with "url(": the
    // tags inside it are read as well, so that a broken tag does not hide the links after it.
    return row >= 0 && row < kRowCount && row != kRowUrl && row != kRowComment &&
           kRows[static_cast<std::size_t>(row)].closing == ">";
}
