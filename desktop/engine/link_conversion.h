// What each link of a stored page becomes for offline browsing (Converted link), and the test
// whether the conversion pass would rewrite a link to an address (the would-be-converted test).
#pragma once

#include "desktop/project/link_converter.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class CVQDoc;
class CVQDocNode;

// The parts of the download filters the would-be-converted test asks. Both are called under the
// project's queue lock; an empty one answers as if no filter matched and nothing were covered.
struct CVQConversionFilters {
    // The URL filters' answer for an address: none when no filter matches, else whether the
    // address is included.
    std::function<std::optional<bool>(const CVQDoc& doc, std::string_view address)> urlFilter;
    // Whether a node is fetched from any location ("Images", "Other files" and style sheets).
    std::function<bool(const CVQDoc& doc, const CVQDocNode& node)> fromAnyLocation;
};

class CVQLinkConversion : public CVQLinkConverter {
public:
    explicit CVQLinkConversion(CVQConversionFilters filters = {}) : m_filters(std::move(filters)) {}

    void SetFilters(CVQConversionFilters filters) { m_filters = std::move(filters); }

    // Converted link. An empty link, a fragment alone, and every link while VQ_UPDLINKS is 0
    // stay. Otherwise the link is resolved against the page's directory; its target is the
    // stored file of the address's node, or the file the address maps to. With VQ_UPDLINKS 1
    // the target must be on disk (requireExisting) or pass the would-be-converted test. The
    // link becomes the target relative to the page (or "file://" and the absolute path),
    // percent-encoded where a browser would read the name otherwise, with the address's
    // fragment.
    std::optional<std::string> ConvertedLink(CVQDoc& doc, const CVQLinkToConvert& link) override;

    // The would-be-converted test for an address, its directory position (0 or more inside the
    // starting directory) and its node (none when the tree holds none).
    bool WouldBeConverted(CVQDoc& doc, std::string_view address, int dirPosition,
                          const CVQDocNode* node) const;
    // The same for a node of the tree, as the project's link rules ask it.
    bool WouldBeConverted(CVQDoc& doc, const CVQDocNode& node) const;

private:
    struct CVQRules {
        int updLinks = 0;
        int scope = 0;
        int offsite = 0;
    };
    static CVQRules ReadRules(CVQDoc& doc);
    bool WouldBeConverted(CVQDoc& doc, const CVQRules& rules, std::string_view address,
                          int dirPosition, const CVQDocNode* node) const;

    CVQConversionFilters m_filters;
};
