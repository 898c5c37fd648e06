#include "desktop/address/address.h"
#include "desktop/address/name_hash.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressParts, ProtocolHostAndDirectory) {
    EXPECT_EQ(vq::ProtocolBits("HTTPS://x.com/a"), vq::kProtoHttps);
    EXPECT_EQ(vq::ProtocolBits("ftp://x.com/"), vq::kProtoFtp);
    EXPECT_EQ(vq::ProtocolBits("file:///tmp/a"), vq::kProtoFile);
    EXPECT_EQ(vq::ProtocolBits("www.x.com"), 0);
    EXPECT_TRUE(vq::HasProtocol("go.php?to=http://x.com/"));

    EXPECT_EQ(vq::HostEnd("http://x.com"), 12u);
    EXPECT_EQ(vq::SchemeAndHost("http://x.com/a/b.htm"), "http://x.com");
    EXPECT_EQ(vq::SchemeAndHost("http://x.com\\a"), "http://x.com");
    EXPECT_EQ(vq::HostName("http://user:pw@X.com:8080/a"), "X.com");

    struct Case {
        const char* address;
        const char* directory;
    } cases[] = {
        {"http://x.com/a/b/page.htm", "http://x.com/a/b/"},
        {"http://x.com/a/page.asp?u=/c/d", "http://x.com/a/"},
        {"http://x.com/a/page.asp^id=3", "http://x.com/a/"},
        {"http://x.com", "http://x.com/"},
        {"  http://x.com/a/  ", "http://x.com/a/"},
        {"x.com/a/b.htm", "http://x.com/a/"},
        {"C:\\site\\index.htm", "file://C|\\site/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vq::DirectoryUrl(c.address), c.directory) << c.address;
}

TEST(AddressParts, LookupKeyAndComparisons) {
    EXPECT_EQ(vq::LookupKey("HTTP://X.com/Dir/#top"), "http://x.com/dir");
    EXPECT_EQ(vq::LookupKey("http://x.com/a.htm#b/"), "http://x.com/a.htm");

    EXPECT_TRUE(vq::SameAddress("http://X.com/a", "http://x.com/A"));
    EXPECT_TRUE(vq::SameAddress("http://x.com/a/", "http://x.com/a"));
    EXPECT_FALSE(vq::SameAddress("http://x.com/a/", "http://x.com/a", true));
    EXPECT_FALSE(vq::SameAddress("http://x.com/A/", "http://x.com/a"));
    EXPECT_FALSE(vq::SameAddress("http://x.com/a//", "http://x.com/a"));

    EXPECT_TRUE(vq::SameServer("WWW.x.com", "www.X.com"));
    EXPECT_TRUE(vq::SameServer("x.com", "www.x.com"));
    EXPECT_FALSE(vq::SameServer("x.com", "y.x.com"));
}

TEST(ResolveLink, TableOfLinks) {
    const char* dir = "http://h.com/a/b/";
    const char* page = "http://h.com/a/b/page.htm";
    struct Case {
        const char* link;
        const char* expected;
        bool converts;
    } cases[] = {
        {"", "http://h.com/a/b/", false},
        {"#", "http://h.com/a/b/page.htm", false},
        {"x.htm", "http://h.com/a/b/x.htm", false},
        {"http:x.htm", "http://h.com/a/b/x.htm", false},
        {"/root.htm", "http://h.com/root.htm", true},
        {"\\root.htm", "http://h.com/root.htm", true},
        {"../up.htm", "http://h.com/a/up.htm", false},
        {"../../a.htm", "http://h.com/a.htm", false},
        {"../../../a.htm", "http://h.com/a.htm", false},
        {"..\\up.htm", "http://h.com/a/up.htm", false},
        {"./here.htm", "http://h.com/a/b/here.htm", false},
        {"//cdn.com/x.js", "http://cdn.com/x.js", false},
        {"sub/x.htm", "http://h.com/a/b/sub/x.htm", false},
        {"go.php?to=http://o.com/", "http://h.com/a/b/go.php?to=http://o.com/", false},
        {"HTTPS://o.com/x", "HTTPS://o.com/x", false},
        {"www.o.com/x.htm", "http://www.o.com/x.htm", false},
        {"sub\\x.htm", "http://h.com/a/b/sub/x.htm", false},
        {"  x.htm  ", "http://h.com/a/b/x.htm", false},
        {"x.htm/#frag", "http://h.com/a/b/x.htm#frag", false},
        {"sub/#frag", "http://h.com/a/b/sub/page.htm#frag", false},
        {"#frag", "http://h.com/a/b/page.htm#frag", false},
    };
    for (const Case& c : cases) {
        bool converts = false;
        EXPECT_EQ(vq::ResolveLink(c.link, dir, page, &converts), c.expected) << c.link;
        EXPECT_EQ(converts, c.converts) << c.link;
    }
    // A "#" right after the host stays on the page that holds it.
    EXPECT_EQ(vq::ResolveLink("/#top", "http://www.h.com/", "http://www.h.com/other.htm"),
              "http://www.h.com/other.htm#top");
    EXPECT_EQ(vq::ResolveLink("//cdn.com/x", "https://h.com/", "https://h.com/p"), "https://cdn.com/x");
}

TEST(NameHash, KnownValues) {
    EXPECT_EQ(vq::Hash16("abc"), 0x17f6u);
    EXPECT_EQ(vq::Crc32("abc"), 0x352441c2u);
    EXPECT_EQ(vq::HashedNameStem("abc"), "Vq17f6352441c2");
    EXPECT_EQ(vq::Hash16(""), 0xFFFFFFFFu);
}

} // namespace
