// Allowed, the level check and Keep page.
#include "desktop/engine/download_filter.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/engine/url_filter_match.h"
#include "desktop/engine/url_parts.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_class.h"
#include "desktop/project/size_limits.h"

namespace {

bool IsOffServer(const CVQDocNode& node) {
    return node.dirPosition <= kOtherServerPosition;
}

} // namespace

void CVQDownloadFilter::SetStartDirUrl(std::string_view startDirUrl) {
    m_startHost = vq::HostName(startDirUrl);
}

bool CVQDownloadFilter::SpecialType() const {
    return IsSpecialDownload(m_doc.Run().downloadType);
}

bool CVQDownloadFilter::IsCovered(const CVQDocNode& node, std::string_view ext) const {
    const CVQPrjSettings& s = m_doc.Settings();
    if (s.imageAlways && node.group == vq::kGroupImage)
        return true;
    if (s.nonHtmlAlways && node.group != 0 && node.group != vq::kGroupImage &&
        node.group != vq::kGroupHtml)
        return true;
    return node.group == vq::kGroupHtml && vq::EqualsIgnoreCase(ext, "css");
}

CVQDownloadFilter::Verdict CVQDownloadFilter::Judge(const CVQDocNode& node, bool special,
                                                    bool preview) const {
    if (special)
        return {true};
    const CVQPrjSettings& s = m_doc.Settings();
    const auto refuse = [](int reason) { return Verdict{false, reason}; };

    if (preview && !s.detPrev && !node.IsHtml())
        return refuse(kSkipPreview);

    switch (vq::MatchUrlFilters(s.urlFilter, node.Address())) {
    case VQFilterVerdict::kInclude:
        return {true, 0, true};
    case VQFilterVerdict::kExclude:
        return refuse(kSkipUrlFilter);
    case VQFilterVerdict::kNone:
        break;
    }

    // A covered node is judged by the file types alone; a style sheet counts as HTML.
    const std::string_view ext = vq::AddressExtension(node.Address());
    if (IsCovered(node, ext)) {
        const bool typeWanted = (s.fileTypes & node.group) != 0 && node.extEnabled == 1;
        return typeWanted ? Verdict{true} : refuse(kSkipFileFilter);
    }

    if (s.offsite == 0) {
        const std::string host = vq::HostName(node.Address());
        if (host.empty() || m_startHost.empty())
            return refuse(0);
        if (!vq::SameServer(host, m_startHost))
            return refuse(kSkipOtherServer);
    }
    if (s.down == 1 && node.dirPosition < 0)
        return refuse(kSkipOutsideStartDir);

    // An unknown group is let through: the server's answer classifies the file, and the client
    // applies the size limits then.
    const bool groupWanted = node.group == 0 || node.IsHtml() || (s.fileTypes & node.group) != 0;
    if (groupWanted && node.extEnabled == 1)
        return {true};
    return refuse(kSkipFileFilter);
}

int CVQDownloadFilter::LevelReason(const CVQDocNode& node, bool special) const {
    if (special)
        return 0;
    const CVQPrjSettings& s = m_doc.Settings();
    const bool offServer = IsOffServer(node);
    const bool limited = offServer ? s.limOl != 0 : s.limL != 0;
    if (!limited)
        return 0;
    // An image on the last allowed page level is still fetched.
    const long long limit =
        static_cast<long long>(offServer ? s.maxOl : s.maxL) + (node.IsHtml() ? 0 : 1);
    return node.level <= limit ? 0 : kSkipLevel;
}

bool CVQDownloadFilter::Allowed(CVQDocNode& node) const {
    const Verdict verdict = Judge(node, SpecialType(), m_doc.Run().preview);
    if (verdict.forcedIn)
        node.selection |= kSelForcedIn;
    if (verdict.reason != 0)
        node.reason = verdict.reason;
    return verdict.allowed;
}

bool CVQDownloadFilter::LevelCheck(CVQDocNode& node) const {
    const int reason = LevelReason(node, SpecialType());
    if (reason == 0)
        return true;
    node.reason = reason;
    return false;
}

bool CVQDownloadFilter::WouldPass(const CVQDocNode& node) const {
    return Judge(node, false, false).allowed && LevelReason(node, false) == 0;
}

bool CVQDownloadFilter::FromAnyLocation(const CVQDocNode& node) const {
    return IsCovered(node, vq::AddressExtension(node.Address()));
}

bool CVQDownloadFilter::KeepPage(const CVQDocNode& node, std::uint64_t size) const {
    if (!node.IsHtml())
        return true; // their limits were applied before the download
    const CVQPrjSettings& s = m_doc.Settings();
    if ((s.fileTypes & vq::kGroupHtml) == 0 || node.extEnabled != 1)
        return false;
    const CVQFileClass cls = vq::ClassifyExtension(s, vq::PathExtension(node.LocalPath()));
    const CVQFileExt* entry = cls.group == vq::kGroupHtml ? cls.entry : nullptr;
    return vq::SizeLimitVerdict(s, entry, size) == 0;
}
