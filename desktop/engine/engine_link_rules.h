// The engine's acceptance test and the conversion rule, installed on the project so that the
// client (redirect targets) and the parser judge links as the engine does.
#pragma once

#include "desktop/project/link_rules.h"

#include <functional>

class CVQDownloadFilter;

class CVQEngineLinkRules : public CVQLinkRules {
public:
    using ConversionRule = std::function<bool(const CVQDoc& doc, const CVQDocNode& node)>;

    explicit CVQEngineLinkRules(CVQDownloadFilter& filter) : m_filter(filter) {}

    // Allowed and the level check, under the queue lock.
    bool AcceptFoundLink(CVQDoc& doc, CVQDocNode& node) override;
    // The conversion pass's rule once one is set; no until then.
    bool WouldBeConverted(const CVQDoc& doc, const CVQDocNode& node) override;
    void SetConversionRule(ConversionRule rule) { m_conversion = std::move(rule); }

private:
    CVQDownloadFilter& m_filter;
    ConversionRule m_conversion;
};
