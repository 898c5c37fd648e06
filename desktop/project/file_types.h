// File-type groups, their default extension tables and the per-extension entries of a project.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

// One bit per group, as settings masks, nodes, reports and contents files carry it. Bit 4
// belongs to no group; the "all" value includes it.
enum FileTypeGroup : int {
    kGroupHtml = 1,
    kGroupImage = 2,
    kGroupAudio = 8,
    kGroupVideo = 16,
    kGroupJava = 32,
    kGroupOther = 64,
    kGroupDocument = 128,
    kGroupArchive = 256,
    kGroupAll = 511
};

inline constexpr std::size_t kFileGroupCount = 8;

// The order of a project's eight extension lists, which is also the order in which an
// extension is looked up when an address is classified.
inline constexpr std::array<int, kFileGroupCount> kFileGroupOrder = {
    kGroupHtml, kGroupImage,    kGroupAudio,   kGroupVideo,
    kGroupJava, kGroupDocument, kGroupArchive, kGroupOther};

// Position of a group in kFileGroupOrder; -1 when the value is not one group bit.
int FileGroupIndex(int groupBit);

// The group's label and report text ("HTML", "Image", ...) from the string table; empty when
// the value is not one group bit.
std::string FileGroupName(int groupBit);

// The base table of a group: the extensions that stored lists are compared with.
std::span<const std::string_view> BaseExtensions(int groupBit);

// The extensions a new project's list carries after the base table (empty for most groups).
std::span<const std::string_view> ExtraExtensions(int groupBit);

} // namespace vq

// One extension of a group's list with its own size limits. The flags keep the widths the
// project file gives them (byte, byte, int) so that a stored value survives a round trip.
struct CVQFileExt {
    static constexpr std::size_t kMaxLength = 32;

    std::string ext;           // up to 32 characters, no dot, lower case
    std::uint8_t enabled = 1;  // 1 = files with this extension are downloaded
    std::uint8_t limitMax = 0; // the maximum size applies
    double maxSize = 0;        // bytes
    int limitMin = 0;          // the minimum size applies
    double minSize = 0;        // bytes

    bool operator==(const CVQFileExt&) const = default;
};

using CVQCustomArray = std::vector<CVQFileExt>;

namespace vq {

// An enabled entry without limits for text typed by the user: blanks and one leading dot
// dropped, lower case. nullopt when nothing is left, when it is longer than 32 characters or
// when it holds a dot, a slash, a backslash, a double quote or a blank.
std::optional<CVQFileExt> MakeFileExt(std::string_view text);

// The default list of a group: its base table, with the extra extensions appended when asked
// (a new project's lists); every entry enabled and without size limits. Empty for a value that
// is not one group bit.
CVQCustomArray DefaultExtList(int groupBit, bool withExtraExtensions);

// The entry whose extension equals ext ignoring case; nullptr when there is none.
const CVQFileExt* FindExt(const CVQCustomArray& list, std::string_view ext);
CVQFileExt* FindExt(CVQCustomArray& list, std::string_view ext);

} // namespace vq
