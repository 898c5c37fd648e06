// The text of one tag as its handler reads it (line feeds and comments taken out), with the
// way back from each position to the byte of the page it came from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CVQTagText {
public:
    // A tag cut out of the page at offset. Line feeds are removed; with removeComments, so are
    // the complete HTML comments that do not lie inside a "<SCRIPT" ... "/SCRIPT>" part. The
    // text is copied only when something is removed: raw must outlive the object.
    CVQTagText(std::string_view raw, std::size_t offset, bool removeComments);
    // A tag found inside another tag's text, from..to of that text; it refers to outer's text.
    CVQTagText(const CVQTagText& outer, std::size_t from, std::size_t to);
    CVQTagText(const CVQTagText&) = delete;
    CVQTagText& operator=(const CVQTagText&) = delete;

    std::string_view Text() const { return m_text; }

    // The page offset of a position of Text() (the position itself may be the end).
    std::size_t PageOffset(std::size_t pos) const;
    // The page offset and the number of page bytes a part of Text() was made from.
    std::pair<std::size_t, std::size_t> PageSpan(std::size_t pos, std::size_t length) const;

private:
    void Append(std::string_view raw, std::size_t rawPos, std::size_t length);

    std::string m_owned;
    std::string_view m_text;
    std::size_t m_offset = 0;
    // For each removed stretch: the position in m_text where it was, and the bytes removed
    // up to and including it.
    std::vector<std::pair<std::size_t, std::size_t>> m_removed;
    const CVQTagText* m_outer = nullptr;
    // The removal found last: links are asked for mostly in the order of the text.
    mutable std::size_t m_hint = 0;
};
