// What a link found in a stored page becomes for offline browsing. The conversion pass of the
// engine implements it and installs it on the project, so that the parser can rewrite links
// during a download.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class CVQDoc;
class CVQDocNode;

struct CVQLinkToConvert {
    std::string_view link;        // as cleaned (entities decoded, tabs removed, trimmed)
    std::string_view pageDirUrl;  // the directory relative links start from (or the BASE)
    std::string_view pageAddress; // the page's own address
    std::string_view pagePath;    // where the page is stored
    // During a download the parser knows the link's node already (none when the tree is full);
    // otherwise the tree is asked for the address.
    const CVQDocNode* target = nullptr;
    bool targetKnown = false;
    bool isHtml = true;           // chooses the default name of an address that ends in "/"
    bool requireExisting = false; // only links to files already on disk (during a download)
    bool absolute = false;        // "file://" and the absolute path (the print copy)
};

class CVQLinkConverter {
public:
    virtual ~CVQLinkConverter() = default;

    // The new text of the link, or nothing when it stays as it is.
    virtual std::optional<std::string> ConvertedLink(CVQDoc& doc, const CVQLinkToConvert& link) = 0;
};
