// Where the scans deliver what they find: the links of each tag (or of each line of a text
// file), the page's title, and the question whether to go on.
#pragma once

#include "desktop/content/found_link.h"

#include <string_view>

class CVQLinkSink {
public:
    virtual ~CVQLinkSink() = default;

    // The links of one tag of row (kRowNone for a text or class file), in the order found,
    // with page offsets. tagText is the tag's text as the handler read it (empty for files).
    // The sink may change the list.
    virtual void Links(CVQLinkList& links, int row, std::string_view tagText) = 0;

    // The text of the page's first "<TITLE>" tag, as written.
    virtual void Title(std::string_view /*title*/) {}

    // Asked every 50 lines and every 50 tags; false ends the scan.
    virtual bool KeepGoing() { return true; }
};
