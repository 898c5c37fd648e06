// The extension-list snapshot and the page/file kind of a node.
#include "desktop/project/file_classifier.h"

#include "desktop/address/text_util.h"
#include "desktop/project/doc_node.h"
#include "desktop/project/prj_settings.h"

#include <algorithm>
#include <array>

namespace {

bool IsOneOf(std::string_view ext, std::initializer_list<std::string_view> list) {
    return std::any_of(list.begin(), list.end(),
                       [ext](std::string_view e) { return vq::EqualsIgnoreCase(ext, e); });
}

} // namespace

CVQFileClassifier::CVQFileClassifier(const CVQPrjSettings& settings) {
    for (int group : vq::kFileGroupOrder) {
        const CVQCustomArray* list = settings.ExtList(group);
        if (!list)
            continue;
        for (const CVQFileExt& entry : *list)
            m_byExt.try_emplace(vq::ToLowerAscii(entry.ext), Entry{group, entry.enabled});
    }
}

CVQFileClass CVQFileClassifier::ClassifyExtension(std::string_view ext) const {
    if (ext.empty() || ext.size() > CVQFileExt::kMaxLength)
        return {};
    std::array<char, CVQFileExt::kMaxLength> lower{};
    for (std::size_t i = 0; i < ext.size(); ++i)
        lower[i] = vq::AsciiLower(ext[i]);
    const auto it = m_byExt.find(std::string(lower.data(), ext.size()));
    CVQFileClass result;
    if (it != m_byExt.end()) {
        result.group = it->second.group;
        result.extEnabled = it->second.extEnabled;
    }
    return result;
}

namespace vq {

int NodeKindFor(int group, int contentClass, std::string_view ext, bool whenAdded) {
    const bool special = contentClass == 1;
    bool page = false;
    switch (group) {
    case kGroupHtml:
    case kGroupJava:
        page = true;
        break;
    case kGroupDocument:
        page = special || IsOneOf(ext, {"pdf", "wrl", "wrz"});
        break;
    case kGroupOther:
        page = special || IsOneOf(ext, {"swf"});
        break;
    case kGroupAudio:
        page = special || IsOneOf(ext, {"m3u"});
        break;
    case kGroupVideo:
        page = special || IsOneOf(ext, {"flv"});
        break;
    case kGroupImage:
        page = special || IsOneOf(ext, {"svg", "svgz"});
        break;
    default:
        break;
    }
    if (whenAdded && (contentClass == 1 || contentClass == 2))
        page = true;
    return page ? kNodePage : kNodeFile;
}

} // namespace vq
