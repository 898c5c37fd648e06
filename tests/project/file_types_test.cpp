#include "desktop/project/file_types.h"

#include <gtest/gtest.h>
#include <set>

namespace {

struct GroupCase {
    int bit;
    const char* name;
    std::size_t baseSize;
    const char* lastOfBase;
    std::size_t fullSize;
    const char* lastOfFull;
};

// The two tables of every group: the base list ends before the extension table begins.
const GroupCase kGroups[] = {
    {vq::kGroupHtml, "HTML", 23, "jsp", 27, "htc"},
    {vq::kGroupImage, "Image", 9, "fif", 12, "svgz"},
    {vq::kGroupAudio, "Audio", 8, "mp2", 9, "pls"},
    {vq::kGroupVideo, "Video", 7, "flc", 8, "flv"},
    {vq::kGroupJava, "Java", 2, "class", 2, "class"},
    {vq::kGroupDocument, "Document", 7, "xlw", 8, "wrz"},
    {vq::kGroupArchive, "Archive", 11, "tar", 11, "tar"},
    {vq::kGroupOther, "Other", 2, "exe", 2, "exe"},
};

TEST(FileTypes, DefaultListsOfEachGroup) {
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        const GroupCase& g = kGroups[i];
        SCOPED_TRACE(g.name);
        EXPECT_EQ(vq::FileGroupIndex(g.bit), static_cast<int>(i));
        EXPECT_EQ(vq::FileGroupName(g.bit), g.name);

        const CVQCustomArray base = vq::DefaultExtList(g.bit, false);
        ASSERT_EQ(base.size(), g.baseSize);
        EXPECT_EQ(base.back().ext, g.lastOfBase);
        const CVQCustomArray full = vq::DefaultExtList(g.bit, true);
        ASSERT_EQ(full.size(), g.fullSize);
        EXPECT_EQ(full.back().ext, g.lastOfFull);
        EXPECT_TRUE(std::equal(base.begin(), base.end(), full.begin()));
        for (const CVQFileExt& e : full)
            EXPECT_EQ(e, CVQFileExt{.ext = e.ext}) << e.ext; // enabled, no size limits
    }
}

TEST(FileTypes, ValuesThatAreNoGroup) {
    for (int bit : {0, 3, 4, 512, static_cast<int>(vq::kGroupAll), -1}) {
        EXPECT_EQ(vq::FileGroupIndex(bit), -1) << bit;
        EXPECT_EQ(vq::FileGroupName(bit), "") << bit;
        EXPECT_TRUE(vq::DefaultExtList(bit, true).empty()) << bit;
    }
}

// Classification takes the first list that holds an extension; a default extension in two
// groups would never reach the second one.
TEST(FileTypes, NoDefaultExtensionBelongsToTwoGroups) {
    std::set<std::string> seen;
    for (int bit : vq::kFileGroupOrder)
        for (const CVQFileExt& e : vq::DefaultExtList(bit, true))
            EXPECT_TRUE(seen.insert(e.ext).second) << e.ext;
}

TEST(FileTypes, FindExtIgnoresCase) {
    CVQCustomArray list = vq::DefaultExtList(vq::kGroupImage, true);
    const CVQFileExt* jpeg = vq::FindExt(std::as_const(list), "JPeG");
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->ext, "jpeg");
    EXPECT_EQ(vq::FindExt(list, "jpe"), nullptr);
    EXPECT_EQ(vq::FindExt(list, ""), nullptr);
    EXPECT_EQ(vq::FindExt(CVQCustomArray{}, "gif"), nullptr);

    // An unchecked extension stays in its list.
    vq::FindExt(list, "GIF")->enabled = 0;
    ASSERT_NE(vq::FindExt(list, "gif"), nullptr);
    EXPECT_EQ(vq::FindExt(list, "gif")->enabled, 0);
}

TEST(FileTypes, MakeFileExtFromTypedText) {
    const std::string longest(32, 'x');
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {".JPG", "jpg"}, {"  png ", "png"}, {longest, longest}, {longest + "x", {}}, {"", {}},
        {".", {}},       {"tar.gz", {}},    {"a/b", {}},        {"a b", {}},         {"q\"", {}},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<CVQFileExt> entry = vq::MakeFileExt(text);
        EXPECT_EQ(entry.has_value(), expected.has_value()) << text;
        if (entry && expected) {
            EXPECT_EQ(entry->ext, *expected);
            EXPECT_EQ(entry->enabled, 1);
        }
    }
}

} // namespace
