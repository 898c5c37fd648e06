// The group table and the extension tables every new project starts from.
#include "desktop/project/file_types.h"

#include "desktop/address/text_util.h"
#include "desktop/resources/string_table.h"

namespace {

using Table = std::span<const std::string_view>;

constexpr std::string_view kHtmlBase[] = {
    "htm", "html", "shtm", "shtml", "htms", "htmlx", "asp",  "pl",  "stm",  "stml", "idc", "htx",
    "xsp", "css",  "xml",  "rxml",  "cfm",  "cgi",   "htmp", "php", "php3", "nsf",  "jsp"};
constexpr std::string_view kHtmlExtra[] = {"aspx", "wml", "rss", "htc"};
constexpr std::string_view kImageBase[] = {"gif", "jpg",  "jpeg", "png", "bmp",
                                           "tif", "tiff", "xbm",  "fif"};
constexpr std::string_view kImageExtra[] = {"wbmp", "svg", "svgz"};
constexpr std::string_view kAudioBase[] = {"au", "wav", "mid", "midi", "mp3", "m3u", "riff", "mp2"};
constexpr std::string_view kAudioExtra[] = {"pls"};
constexpr std::string_view kVideoBase[] = {"mpg", "mpeg", "avi", "ani", "mov", "fli", "flc"};
constexpr std::string_view kVideoExtra[] = {"flv"};
constexpr std::string_view kJavaBase[] = {"js", "class"};
constexpr std::string_view kOtherBase[] = {"swf", "exe"};
constexpr std::string_view kDocumentBase[] = {"doc", "pdf", "txt", "text", "wrl", "xls", "xlw"};
constexpr std::string_view kDocumentExtra[] = {"wrz"};
constexpr std::string_view kArchiveBase[] = {"zip", "arc", "gz",  "z",   "arj", "lha",
                                             "lay", "lei", "rar", "cab", "tar"};

struct GroupRow {
    int bit;
    int nameId;
    Table base;
    Table extra;
};

// In list order, matching kFileGroupOrder.
const GroupRow kGroups[] = {
    {vq::kGroupHtml, IDS_GROUP_HTML, kHtmlBase, kHtmlExtra},
    {vq::kGroupImage, IDS_GROUP_IMAGE, kImageBase, kImageExtra},
    {vq::kGroupAudio, IDS_GROUP_AUDIO, kAudioBase, kAudioExtra},
    {vq::kGroupVideo, IDS_GROUP_VIDEO, kVideoBase, kVideoExtra},
    {vq::kGroupJava, IDS_GROUP_JAVA, kJavaBase, {}},
    {vq::kGroupDocument, IDS_GROUP_DOCUMENT, kDocumentBase, kDocumentExtra},
    {vq::kGroupArchive, IDS_GROUP_ARCHIVE, kArchiveBase, {}},
    {vq::kGroupOther, IDS_GROUP_OTHER, kOtherBase, {}},
};

const GroupRow* FindGroup(int groupBit) {
    const int index = vq::FileGroupIndex(groupBit);
    return index < 0 ? nullptr : &kGroups[index];
}

bool IsForbiddenInExtension(char c) {
    return c == '.' || c == '/' || c == '\\' || c == '"' || c == ' ' || c == '\t' || c == '\r' ||
           c == '\n';
}

template <typename List> auto FindIn(List& list, std::string_view ext) -> decltype(&list[0]) {
    for (auto& entry : list)
        if (vq::EqualsIgnoreCase(entry.ext, ext))
            return &entry;
    return nullptr;
}

} // namespace

namespace vq {

int FileGroupIndex(int groupBit) {
    for (std::size_t i = 0; i < kFileGroupCount; ++i)
        if (kFileGroupOrder[i] == groupBit)
            return static_cast<int>(i);
    return -1;
}

std::string FileGroupName(int groupBit) {
    const GroupRow* group = FindGroup(groupBit);
    return group ? VQText(group->nameId) : std::string();
}

std::span<const std::string_view> BaseExtensions(int groupBit) {
    const GroupRow* group = FindGroup(groupBit);
    return group ? group->base : Table{};
}

std::span<const std::string_view> ExtraExtensions(int groupBit) {
    const GroupRow* group = FindGroup(groupBit);
    return group ? group->extra : Table{};
}

std::optional<CVQFileExt> MakeFileExt(std::string_view text) {
    text = TrimBlanks(text);
    if (text.starts_with('.'))
        text.remove_prefix(1);
    if (text.empty() || text.size() > CVQFileExt::kMaxLength)
        return std::nullopt;
    for (char c : text)
        if (IsForbiddenInExtension(c))
            return std::nullopt;
    CVQFileExt entry;
    entry.ext = ToLowerAscii(text);
    return entry;
}

CVQCustomArray DefaultExtList(int groupBit, bool withExtraExtensions) {
    CVQCustomArray list;
    const auto append = [&list](Table table) {
        for (std::string_view ext : table)
            list.push_back(CVQFileExt{.ext = std::string(ext)});
    };
    append(BaseExtensions(groupBit));
    if (withExtraExtensions)
        append(ExtraExtensions(groupBit));
    return list;
}

const CVQFileExt* FindExt(const CVQCustomArray& list, std::string_view ext) {
    return FindIn(list, ext);
}

CVQFileExt* FindExt(CVQCustomArray& list, std::string_view ext) {
    return FindIn(list, ext);
}

} // namespace vq
