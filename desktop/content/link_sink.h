// Where the scans deliver what they find: the links of each tag (or of each line of a text
// file), the page's title, and the question whether to go on.
#pragma once

#include "desktop/content/found_link.h"

#include <cstddef>
#include <string_view>

// The tag (or text-file line) a list of links came from.
struct CVQTagPlace {
    // The tag's text as the handler read it (line feeds and comments removed); empty for files.
    std::string_view text;
    // The bytes of the page around the links as they stand there: the outermost tag that holds
    // them, or the line of a text file; with offset, the page offset of raw's first byte. A
    // rewriter looks at the characters around a link here.
    std::string_view raw;
    std::size_t offset = 0;
    // The page span of the handled tag itself (a tag inside another one lies inside raw).
    std::size_t tagOffset = 0;
    std::size_t tagLength = 0;

    // The page byte at offset, or '\0' when it lies outside raw (the start or end of the text).
    char At(std::size_t pageOffset) const {
        return pageOffset >= offset && pageOffset - offset < raw.size() ? raw[pageOffset - offset]
                                                                        : '\0';
    }
};

class CVQLinkSink {
public:
    virtual ~CVQLinkSink() = default;

    // The links of one tag of row (kRowNone for a text or class file), in the order found,
    // with page offsets. The sink may change the list.
    virtual void Links(CVQLinkList& links, int row, const CVQTagPlace& place) = 0;

    // Every complete tag of row that is handled, before its links (if any) are delivered.
    virtual void TagFound(int /*row*/) {}

    // The text of the page's first "<TITLE>" tag, as written.
    virtual void Title(std::string_view /*title*/) {}

    // Asked every 50 lines and every 50 tags; false ends the scan.
    virtual bool KeepGoing() { return true; }
};
