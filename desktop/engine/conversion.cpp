// Wiring the conversion to the project, its filters and its engine.
#include "desktop/engine/conversion.h"

#include "desktop/engine/download_engine.h"
#include "desktop/engine/url_filter_match.h"
#include "desktop/project/doc.h"

CVQConversion::CVQConversion(CVQDoc& doc) : m_doc(doc), m_filter(doc), m_pass(m_links) {
    // Both are asked under the queue lock, as the filters want.
    m_links.SetFilters(
        {[](const CVQDoc& d, std::string_view address) -> std::optional<bool> {
             const VQFilterVerdict verdict = vq::MatchUrlFilters(d.Settings().urlFilter, address);
             if (verdict == VQFilterVerdict::kNone)
                 return std::nullopt;
             return verdict == VQFilterVerdict::kInclude;
         },
         [this](const CVQDoc&, const CVQDocNode& node) { return m_filter.FromAnyLocation(node); }});
    m_doc.SetLinkConverter(&m_links);
}

CVQConversion::~CVQConversion() {
    if (m_doc.LinkConverter() == &m_links)
        m_doc.SetLinkConverter(nullptr);
}

void CVQConversion::Install(CVQDownloadEngine& engine) {
    engine.SetConversionRule([this](const CVQDoc&, const CVQDocNode& node) {
        return m_links.WouldBeConverted(m_doc, node);
    });
    engine.Hooks().convertLinks = [this](CVQDoc& doc) { m_pass.ConvertAfterDownload(doc); };
}
