#include "platform/user_dirs.h"
#include "tests/support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

struct EntryCase {
    const char* text;
    std::optional<std::string> expected;
};

TEST(UserDirs, DocumentsEntry) {
    const EntryCase cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/home/u/Docs"},
        {"XDG_DOCUMENTS_DIR=\"/data/docs/\"", "/data/docs"},
        {"  XDG_DOCUMENTS_DIR = \"$HOME/My \\\"Q\\\" Docs\"\r\n", "/home/u/My \"Q\" Docs"},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"", "/home/u"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"", "/home/u"},
        {"# XDG_DOCUMENTS_DIR=\"$HOME/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=$HOME/x", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"relative/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIRX=\"$HOME/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"$HOMEX/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"$HOME/unterminated", std::nullopt},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/A\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/B\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n",
         "/home/u/B"},
        {"", std::nullopt},
    };
    for (const EntryCase& c : cases)
        EXPECT_EQ(vq::UserDirsEntry(c.text, "XDG_DOCUMENTS_DIR", "/home/u"), c.expected) << c.text;
}

TEST(UserDirs, DocumentsDirectoryFromTheFileOrTheFallback) {
    const CVQTempDir dir;
    EXPECT_EQ(vq::DocumentsDirectory(dir.Path(), "/home/u"), "/home/u/Documents");
    EXPECT_EQ(vq::DocumentsDirectory(dir.Path(), "/"), "/Documents");

    std::ofstream(dir.File("user-dirs.dirs")) << "XDG_MUSIC_DIR=\"$HOME/Music\"\n";
    EXPECT_EQ(vq::DocumentsDirectory(dir.Path(), "/home/u/"), "/home/u/Documents");

    std::ofstream(dir.File("user-dirs.dirs"))
        << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(vq::DocumentsDirectory(dir.Path(), "/home/u"), "/home/u/Dokumente");
}

} // namespace
