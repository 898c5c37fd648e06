#include "desktop/net/ftp_listing.h"

#include <gtest/gtest.h>

namespace {

std::string Names(const std::vector<CVQFtpEntry>& entries) {
    std::string out;
    for (const CVQFtpEntry& e : entries)
        out += e.name + (e.isDirectory ? "/" : "") + (e.reduced ? "!" : "") + "|";
    return out;
}

TEST(FtpListing, DirectoryAddresses) {
    const std::pair<const char*, bool> cases[] = {
        {"/pub/", true},       {"/pub", true},    {"/v1.2/readme", true},
        {"/pub/a.zip", false}, {"/README", true}, {"/a.b/c.d", false},
        {"", false},
    };
    for (const auto& [path, directory] : cases)
        EXPECT_EQ(vq::LooksLikeFtpDirectory(path), directory) << path;
}

TEST(FtpListing, EntriesFromMlsdAndList) {
    const char* mlsd = "type=cdir;perm=el; /pub\r\n"
                       "type=pdir;perm=el; /\r\n"
                       "modify=20010909014640;size=10;type=file; a.bin\r\n"
                       "type=dir;modify=20010909014640; sub dir\r\n"
                       "type=file;size=1; ../../etc/passwd\r\n"
                       "type=file;size=1; bell\x07.txt\r\n"
                       "type=file;size=1; ..\r\n";
    EXPECT_EQ(Names(vq::ParseMlsdListing(mlsd)), "a.bin|sub dir/|passwd!|bell.txt!|");

    const char* unix = "total 3\n"
                       "drwxr-xr-x   2 owner group     4096 Jan 01 12:00 docs\n"
                       "-rw-r--r--   1 owner group       10 Sep  9  2001 a file.txt\n"
                       "lrwxrwxrwx   1 owner group        5 Jan 01 12:00 latest -> a.bin\n"
                       "drwxr-xr-x   2 owner group     4096 Jan 01 12:00 .\n";
    EXPECT_EQ(Names(vq::ParseListListing(unix)), "docs/|a file.txt|latest|");
    const char* dos = "01-01-20  12:00PM       <DIR>          Folder\r\n"
                      "09-09-01  01:46AM                   10 x.zip\r\n";
    EXPECT_EQ(Names(vq::ParseListListing(dos)), "Folder/|x.zip|");
}

TEST(FtpListing, PageEscapesNamesForHtmlAndForTheLink) {
    const std::vector<CVQFtpEntry> entries = {
        {"sub", true, false}, {"a&b <c>.txt", false, false}, {"50% #1?.zip", false, false}};
    EXPECT_EQ(vq::FtpListingPage(entries),
              "<html>\r\n"
              "<a href=\"sub/\">sub/</a><br>\r\n"
              "<a href=\"a&amp;b%20&lt;c&gt;.txt\">a&amp;b &lt;c&gt;.txt</a><br>\r\n"
              "<a href=\"50%25%20%231%3F.zip\">50% #1?.zip</a><br>\r\n"
              "</html>");
}

} // namespace
