// Handling a tag and the tags inside it.
#include "desktop/content/tag_processor.h"

#include "desktop/content/tag_end_finder.h"
#include "desktop/content/tag_table.h"

#include <optional>
#include <tuple>

void CVQTagProcessor::Tag(int row, std::string_view text, std::size_t offset) {
    if (row == kRowComment)
        return;
    // Scripts and style sheets keep their comments: pages wrap them in "<!--" ... "-->".
    const CVQTagText tag(text, offset, row != kRowScript && row != kRowStyle);
    m_raw = text;
    m_rawOffset = offset;
    std::size_t budget = kNestedWorkFactor * tag.Text().size();
    Handle(row, tag, 0, budget);
}

void CVQTagProcessor::Handle(int row, const CVQTagText& text, int depth, std::size_t& budget) {
    if (row == kRowComment)
        return;
    m_sink.TagFound(row);
    if (row == kRowTitle) {
        // Later titles belong to embedded documents (an inline picture's title, say).
        if (!m_titleSeen)
            m_sink.Title(CVQTagHandlers::TitleText(text.Text()));
        m_titleSeen = true;
        return;
    }
    CVQLinkList links;
    m_handlers.Handle(row, text.Text(), links);
    for (CVQFoundLink& link : links) {
        if (link.IsComposed())
            continue;
        const auto [offset, length] = text.PageSpan(link.offset, link.length);
        link.offset = offset;
        link.length = length;
    }
    if (!links.empty()) {
        CVQTagPlace place{text.Text(), m_raw, m_rawOffset, 0, 0};
        if (!text.Text().empty())
            std::tie(place.tagOffset, place.tagLength) = text.PageSpan(0, text.Text().size());
        m_sink.Links(links, row, place);
    }
    if (depth < kMaxNesting && CVQTagTable::IsScannedInside(row))
        ScanInside(row, text, depth, budget);
}

void CVQTagProcessor::ScanInside(int row, const CVQTagText& text, int depth, std::size_t& budget) {
    const std::string_view t = text.Text();
    const CVQTextWindow window{t, 0, true};
    std::optional<CVQTagEndFinder> finder; // most tags hold none
    std::size_t pos = CVQTagTable::Row(row).opening.size();
    for (CVQTagMatch match = CVQTagTable::FindNext(t, pos); match.Found();
         match = CVQTagTable::FindNext(t, pos)) {
        if (!finder)
            finder.emplace();
        std::size_t end = 0;
        if (finder->Find(window, match.row, match.pos, t.size(), end) !=
            CVQTagEndFinder::Result::Found) {
            pos = match.pos + CVQTagTable::Row(match.row).opening.size();
            continue;
        }
        const std::size_t size = end - match.pos;
        if (size > budget)
            return;
        budget -= size;
        const CVQTagText inner(text, match.pos, end);
        Handle(match.row, inner, depth + 1, budget);
        pos = end;
    }
}
