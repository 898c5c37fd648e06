// Converted link and the would-be-converted test.
#include "desktop/engine/link_conversion.h"

#include "desktop/address/address.h"
#include "desktop/engine/local_link.h"
#include "desktop/project/doc.h"
#include "desktop/project/node_placement.h"

#include <mutex>
#include <sys/stat.h>

namespace {

bool IsStoredFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

CVQLinkConversion::CVQRules CVQLinkConversion::ReadRules(CVQDoc& doc) {
    // The settings dialog changes the record under the queue lock.
    const std::lock_guard lock(doc.QueueLock());
    const CVQPrjSettings& s = doc.Settings();
    return {s.updLinks, s.conversionScope, s.offsite};
}

bool CVQLinkConversion::WouldBeConverted(CVQDoc& doc, const CVQRules& rules,
                                         std::string_view address, int dirPosition,
                                         const CVQDocNode* node) const {
    if (rules.scope == 0)
        return true;
    if (dirPosition >= 0 && dirPosition != kNoPosition)
        return rules.updLinks == 1 || rules.updLinks == 2;
    if (rules.updLinks == 2)
        return true;
    if (rules.updLinks != 1)
        return false;
    if (rules.offsite != 0)
        return true;
    const std::lock_guard lock(doc.QueueLock());
    if (m_filters.urlFilter)
        if (const std::optional<bool> included = m_filters.urlFilter(doc, address))
            return *included;
    return node && m_filters.fromAnyLocation && m_filters.fromAnyLocation(doc, *node);
}

bool CVQLinkConversion::WouldBeConverted(CVQDoc& doc, std::string_view address, int dirPosition,
                                         const CVQDocNode* node) const {
    return WouldBeConverted(doc, ReadRules(doc), address, dirPosition, node);
}

bool CVQLinkConversion::WouldBeConverted(CVQDoc& doc, const CVQDocNode& node) const {
    std::string address;
    {
        const std::lock_guard lock(doc.TreeLock());
        address = node.Address();
    }
    int position = node.dirPosition;
    if (position == kNoPosition)
        position = vq::DirectoryPosition(address, doc.StartDirUrl());
    return WouldBeConverted(doc, address, position, &node);
}

std::optional<std::string> CVQLinkConversion::ConvertedLink(CVQDoc& doc,
                                                            const CVQLinkToConvert& link) {
    if (link.link.empty() || link.link.front() == '#')
        return std::nullopt;
    const CVQRules rules = ReadRules(doc);
    if (rules.updLinks == 0)
        return std::nullopt;

    std::string address = vq::ResolveLink(link.link, link.pageDirUrl, link.pageAddress);
    std::string fragment;
    if (const std::size_t hash = address.find('#'); hash != std::string::npos) {
        fragment = address.substr(hash);
        address.resize(hash);
    }

    // The file the address is stored in: where its node keeps it (a renamed file, a file of
    // another start address, a name chosen by the server's answer), else where it would be.
    const CVQDocNode* node = link.targetKnown ? link.target : doc.Tree().FindByAddress(address);
    std::string target;
    if (node) {
        const std::lock_guard lock(doc.TreeLock());
        target = node->LocalPath();
    }
    if (target.empty()) {
        bool renamed = false; // the project's flag is the download's business, not the pass's
        target = doc.MapToLocalPath(address, true, link.isHtml, &renamed).path;
    }
    if (target.empty())
        return std::nullopt;

    if (rules.updLinks == 1) {
        if (link.requireExisting) {
            if (!IsStoredFile(target))
                return std::nullopt;
        } else {
            int position = node ? node->dirPosition : kNoPosition;
            if (position == kNoPosition)
                position = vq::DirectoryPosition(address, doc.StartDirUrl());
            if (!WouldBeConverted(doc, rules, address, position, node))
                return std::nullopt;
        }
    }

    std::string text = link.absolute
                           ? "file://" + vq::EncodeLocalPath(target)
                           : vq::EncodeLocalPath(vq::RelativeLinkPath(target, link.pagePath));
    text += fragment;
    return text;
}
