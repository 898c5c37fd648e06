// The group and content-class tables of content types.
#include "desktop/net/content_type.h"

#include "desktop/address/text_util.h"
#include "desktop/project/file_class.h"
#include "desktop/project/prj_settings.h"

#include <algorithm>

namespace {

struct TypePair {
    std::string_view type;
    std::string_view subtype;
};

constexpr TypePair kSpecialTypes[] = {
    {"text", "xml"},
    {"application", "pdf"},
    {"application", "rss+xml"},
    {"application", "xml"},
    {"application", "x-shockwave-flash"},
    {"audio", "x-mpegurl"},
    {"video", "x-flv"},
    {"image", "svg+xml"},
    {"image", "svg-xml"},
};

constexpr TypePair kWmlVrmlTypes[] = {
    {"text", "vnd.wap.wml"},
    {"x-world", "x-vrml"},
    {"model", "vrml"},
};

// Splits at the first "/"; the subtype ends at the first ";". Blanks around either are dropped.
bool SplitType(std::string_view value, std::string_view& type, std::string_view& subtype) {
    const std::size_t slash = value.find('/');
    if (slash == std::string_view::npos)
        return false;
    type = vq::TrimBlanks(value.substr(0, slash));
    subtype = value.substr(slash + 1);
    subtype = vq::TrimBlanks(subtype.substr(0, subtype.find(';')));
    return type.size() <= vq::kMaxTypePart && subtype.size() <= vq::kMaxTypePart;
}

bool InList(std::span<const TypePair> list, std::string_view type, std::string_view subtype) {
    return std::any_of(list.begin(), list.end(), [&](const TypePair& pair) {
        return vq::EqualsIgnoreCase(pair.type, type) && vq::EqualsIgnoreCase(pair.subtype, subtype);
    });
}

// The project's own spelling of ext when its list for group holds it.
std::string ListExtension(const CVQPrjSettings& settings, int group, std::string_view ext) {
    const CVQCustomArray* list = settings.ExtList(group);
    const CVQFileExt* entry = list ? vq::FindExt(*list, ext) : nullptr;
    return entry ? entry->ext : std::string();
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

} // namespace

namespace vq {

int ContentClassOf(std::string_view contentType) {
    std::string_view type, subtype;
    if (!SplitType(contentType, type, subtype))
        return kClassOrdinary;
    if (InList(kSpecialTypes, type, subtype))
        return kClassSpecial;
    if (InList(kWmlVrmlTypes, type, subtype))
        return kClassWmlVrml;
    return kClassOrdinary;
}

CVQContentKind KindFromContentType(const CVQPrjSettings& settings, std::string_view contentType) {
    CVQContentKind kind;
    kind.isText = FindIgnoreCase(contentType, "text/") != std::string_view::npos;
    std::string_view type, subtype;
    if (!SplitType(contentType, type, subtype))
        return kind;
    kind.contentClass = ContentClassOf(contentType);
    const auto is = [](std::string_view a, std::string_view b) { return EqualsIgnoreCase(a, b); };
    const auto kept = [&](int group) { return ListExtension(settings, group, subtype); };
    if (is(type, "text")) {
        if (std::string html = kept(kGroupHtml); !html.empty()) {
            kind.group = kGroupHtml;
            kind.extension = std::move(html);
        } else {
            kind.group = is(subtype, "plain") ? kGroupDocument : kGroupHtml;
        }
    } else if (is(type, "image")) {
        kind.group = kGroupImage;
        kind.extension = kept(kGroupImage);
    } else if (is(type, "audio")) {
        kind.group = kGroupAudio;
        kind.extension = kept(kGroupAudio);
    } else if (is(type, "video")) {
        kind.group = kGroupVideo;
        kind.extension = kept(kGroupVideo);
    } else if (is(type, "application")) {
        if (is(subtype, "zip") || is(subtype, "x-zip-compressed")) {
            kind.group = kGroupArchive;
            kind.extension = "zip";
        } else if (is(subtype, "rss+xml") || is(subtype, "xml")) {
            kind.group = kGroupHtml;
            kind.extension = kept(kGroupHtml);
        } else if (std::string document = kept(kGroupDocument); !document.empty()) {
            kind.group = kGroupDocument;
            kind.extension = std::move(document);
        } else if (is(subtype, "x-javascript")) {
            kind.group = kGroupJava;
            kind.extension = "js";
        } else {
            kind.group = kGroupOther;
        }
    } else if ((is(type, "x-world") && is(subtype, "x-vrml")) ||
               (is(type, "model") && is(subtype, "vrml"))) {
        kind.group = kGroupDocument;
        kind.extension = ToLowerAscii(subtype);
    }
    // Any other type has no group, so its subtype never renames a stored file.
    return kind;
}

std::string DispositionFileName(std::string_view disposition, bool* reduced) {
    if (reduced)
        *reduced = false;
    const std::size_t key = FindIgnoreCase(disposition, "filename");
    if (key == std::string_view::npos)
        return {};
    const std::size_t equals = disposition.find('=', key);
    if (equals == std::string_view::npos)
        return {};
    std::string_view value = TrimBlanks(disposition.substr(equals + 1));
    if (!value.empty() && value.front() == '"') {
        value.remove_prefix(1);
        value = value.substr(0, value.find('"'));
    } else {
        value = TrimBlanks(value.substr(0, value.find(';')));
    }
    const std::string_view raw = value;
    const std::size_t slash = FindLastSlash(value);
    if (slash != std::string_view::npos)
        value = value.substr(slash + 1);
    std::string name;
    std::copy_if(value.begin(), value.end(), std::back_inserter(name),
                 [](char c) { return !IsControl(c); });
    if (name == "." || name == "..")
        name.clear();
    if (reduced)
        *reduced = name != raw;
    return name;
}

CVQContentKind KindFromDisposition(const CVQPrjSettings& settings, std::string_view disposition) {
    CVQContentKind kind;
    const std::string name = DispositionFileName(disposition, &kind.nameReduced);
    kind.fileName = name;
    kind.group = ClassifyExtension(settings, PathExtension(name)).group;
    kind.isText = kind.group == kGroupHtml;
    if (kind.group == 0)
        return kind;
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos && IsSafeExtension(name.substr(dot + 1)))
        kind.extension = name.substr(dot + 1);
    return kind;
}

bool IsSafeExtension(std::string_view extension) {
    if (extension.empty() || extension.find("..") != std::string_view::npos)
        return false;
    return std::none_of(extension.begin(), extension.end(),
                        [](char c) { return IsSlash(c) || IsControl(c); });
}

std::string ContentTypeForFile(const CVQPrjSettings& settings, std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string ext =
        dot == std::string_view::npos ? std::string() : ToLowerAscii(fileName.substr(dot + 1));
    const auto inGroup = [&](int group) { return !ListExtension(settings, group, ext).empty(); };
    if (ext.empty())
        return {};
    if (inGroup(kGroupHtml))
        return "text/html";
    if (inGroup(kGroupImage)) {
        if (ext == "png" || ext == "gif")
            return "image/" + ext;
        if (ext == "jpg" || ext == "jpeg" || ext == "jpe")
            return "image/jpeg";
        return "image/";
    }
    if (inGroup(kGroupDocument)) {
        if (ext == "pdf")
            return "application/pdf";
        if (ext == "doc")
            return "application/msword";
        return "application/";
    }
    return {};
}

} // namespace vq
