#include "desktop/address/save_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(SaveDirectory, Macros) {
    std::tm t{};
    t.tm_year = 99;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(ExpandDirectoryMacros("/d/[%d]/[%t]/", t), "/d/030799/09_05_03/");
    t.tm_year = 126;
    EXPECT_EQ(ExpandDirectoryMacros("/d/[%d][%d]", t), "/d/030726030726");
}

TEST(SaveDirectory, ExpandCreatesTheDirectory) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("vq_savedir_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    const CVQSaveDirectory dir = ExpandSaveDirectory((root / "a/b").string(), "/unused/", false);
    EXPECT_TRUE(dir.created);
    EXPECT_EQ(dir.saveDir, (root / "a/b").string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(root / "a/b"));

    const CVQSaveDirectory fallback = ExpandSaveDirectory("", (root / "def/").string(), true);
    EXPECT_EQ(fallback.inUse, "");
    EXPECT_EQ(fallback.saveDir, (root / "def/").string());
    EXPECT_TRUE(std::filesystem::is_directory(root / "def"));
    std::filesystem::remove_all(root);
}

TEST(SaveDirectory, RenameByType) {
    EXPECT_EQ(RenameByType("/s/page.asp", "htm"), "/s/page.htm");
    EXPECT_EQ(RenameByType("/s/page.asp^id=3", "htm"), "/s/page.htm^id=3");
    EXPECT_EQ(RenameByType("/s.d/page", "gif"), "/s.d/page.gif");
}

} // namespace
