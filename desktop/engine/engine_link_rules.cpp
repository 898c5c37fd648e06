// The engine's rules for links found by others.
#include "desktop/engine/engine_link_rules.h"

#include "desktop/engine/download_filter.h"
#include "desktop/project/doc.h"

#include <mutex>

bool CVQEngineLinkRules::AcceptFoundLink(CVQDoc& doc, CVQDocNode& node) {
    std::lock_guard lock(doc.QueueLock());
    return m_filter.Allowed(node) && m_filter.LevelCheck(node);
}

bool CVQEngineLinkRules::WouldBeConverted(const CVQDoc& doc, const CVQDocNode& node) {
    return m_conversion && m_conversion(doc, node);
}
