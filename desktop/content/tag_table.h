// The table of tag openings the page scan looks for, and the search for the nearest one.
#pragma once

#include <cstddef>
#include <string_view>

// Rows in scan order; on equal positions the earlier row wins.
enum VQTagRow : int {
    kRowNone = -1, // links of no particular tag (text files, class files, templates)
    kRowTitle = 0,
    kRowFrame,
    kRowIFrame,
    kRowBody,
    kRowAnchor,
    kRowImg,
    kRowApplet,
    kRowBgSound,
    kRowArea,
    kRowObject,
    kRowEmbed,
    kRowScript,
    kRowMeta,
    kRowForm,
    kRowInput,
    kRowSelect,
    kRowComment,
    kRowLink,
    kRowTable,
    kRowTh,
    kRowTd,
    kRowBase,
    kRowStyle,
    kRowUrl,
    kRowDiv,
    kRowAudio,
    kRowVideo,
    kRowCount
};

struct CVQTagRowInfo {
    std::string_view opening; // compared ignoring case
    std::string_view closing; // compared ignoring case
    bool wholeWord;           // the opening must be followed by a blank, tab, line break or ">"
};

struct CVQTagMatch {
    int row = kRowNone;
    std::size_t pos = std::string_view::npos;
    bool Found() const { return row != kRowNone; }
};

class CVQTagTable {
public:
    static const CVQTagRowInfo& Row(int row);

    // The row whose opening stands at pos in line (whole-word rule applied; the end of line
    // counts as a word end); kRowNone when none does.
    static int MatchAt(std::string_view line, std::size_t pos);

    // The nearest opening at or after from (and before startEnd). One pass over the line: each
    // "<" and "u" is matched against the rows that can start there, which gives the same
    // answer as searching every row's opening and taking the nearest.
    static CVQTagMatch FindNext(std::string_view line, std::size_t from,
                                std::size_t startEnd = std::string_view::npos);

    // Rows whose tag text is scanned again for the tags it holds.
    static bool IsScannedInside(int row);
};
