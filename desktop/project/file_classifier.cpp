// File-type classification of names and the page/file kind of a node.
#include "desktop/project/file_classifier.h"

#include "desktop/address/address.h"
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
            m_byExt.try_emplace(vq::ToLowerAscii(entry.ext), CVQFileClass{group, entry.enabled});
    }
}

CVQFileClass CVQFileClassifier::ClassifyExtension(std::string_view ext) const {
    if (ext.empty() || ext.size() > CVQFileExt::kMaxLength)
        return {};
    std::array<char, CVQFileExt::kMaxLength> lower{};
    for (std::size_t i = 0; i < ext.size(); ++i)
        lower[i] = vq::AsciiLower(ext[i]);
    const auto it = m_byExt.find(std::string(lower.data(), ext.size()));
    return it == m_byExt.end() ? CVQFileClass{} : it->second;
}

CVQFileClass CVQFileClassifier::Classify(std::string_view addressOrPath) const {
    const std::string_view name = vq::FileNameOf(addressOrPath);
    if (name.empty())
        return {vq::kGroupHtml, 1};
    return ClassifyExtension(vq::FileExtension(name));
}

namespace vq {

std::string_view FileNameOf(std::string_view text) {
    // One pass: a query may hold slashes of its own, so the name ends at the first "#", "?" or
    // "^", and starts after the last slash before it.
    std::size_t start = 0;
    std::size_t end = text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '#' || c == '?' || c == '^') {
            end = i;
            break;
        }
        if (c == '/' || c == '\\')
            start = i + 1;
    }
    // "http://host" alone names no file.
    if (start > 0 && start <= 8 && !ProtocolPrefix(text).empty() && start - 1 < HostEnd(text))
        return {};
    const std::string_view name = text.substr(start, end - start);
    return name.substr(0, name.find(';'));
}

std::string_view FileExtension(std::string_view text) {
    const std::string_view name = FileNameOf(text);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string_view ext = name.substr(dot + 1);
    return ext.substr(0, FindFirstOf(ext, " \t\r\n"));
}

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
