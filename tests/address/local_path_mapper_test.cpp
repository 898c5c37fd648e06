#include "desktop/address/local_path_mapper.h"

#include "desktop/address/address.h"
#include "desktop/address/name_hash.h"

#include <gtest/gtest.h>

namespace {

const std::string kSave = "/tmp/save/";

CVQPathRules Rules(int dirStructure) {
    CVQPathRules rules;
    rules.saveDir = kSave;
    rules.startDirUrl = "http://h.com/a/b/";
    rules.dirStructure = dirStructure;
    rules.htmlExtensions = {"htm", "html", "asp", "php", "css", "cgi"};
    return rules;
}

std::string Hashed(const std::string& dir, const std::string& address, const std::string& ext) {
    return kSave + dir + vq::HashedNameStem(vq::LookupKey(address)) + "." + ext;
}

struct MapCase {
    int dirStructure;
    const char* address;
    bool isHtml;
    std::string expected;
};

TEST(LocalPathMapper, LayoutRules) {
    const MapCase cases[] = {
        {0, "http://h.com/a/b/", true, kSave + "default.htm"},
        {0, "http://h.com/a/b", true, kSave + "default.htm"},
        {1, "http://h.com/a/b/", true, kSave + "h.com/a/b/default.htm"},
        {0, "http://h.com/a/b/c/x.gif", false, kSave + "c/x.gif"},
        {1, "http://h.com/a/b/c/x.gif", false, kSave + "h.com/a/b/c/x.gif"},
        {2, "http://h.com/a/b/c/x.gif", false, kSave + "c_x.gif"},
        {0, "http://h.com/a/b/c/", true, kSave + "c/default.htm"},
        {0, "http://h.com/a/b/c/", false, kSave + "c/default."},
        {0, "http://h.com/", true, kSave + "Upper2/default.htm"},
        {0, "http://h.com/a/", true, kSave + "Upper1/default.htm"},
        {1, "http://h.com/a/", true, kSave + "h.com/a/default.htm"},
        {0, "http://h.com/ab/x.htm", true, kSave + "h.com/ab/x.htm"},
        {0, "http://o.com/img/x.gif", false, kSave + "o.com/img/x.gif"},
        {0, "http://o.com/dir", true, kSave + "o.com/dir/default.htm"},
        {2, "http://o.com/dir", true, kSave + "o.com_dir_default.htm"},
        {2, "http://o.com/dir/", true, kSave + "o.com_dir_default.htm"},
        {0, "mailto:x", true, kSave + "default.htm"},
        {0, "http://h.com/a/b/%41b.htm", true, kSave + "Ab.htm"},
        {0, "http://h.com/a/b/%zzb.htm", true, kSave + "_zzb.htm"},
        {0, "http://h.com/a/b/%2541.htm", true, kSave + "A.htm"},
        {0, "http://h.com/a/b/x%01y.htm", true, kSave + "x_y.htm"},
        {0, "http://h.com/a/b/p.php", true, kSave + "p.php.htm"},
        {0, "http://h.com/a/b/p.htm#top", true, kSave + "p.htm"},
        {0, "http://h.com/a/b/a /c.htm", true, kSave + "a_/c.htm"},
        {0, "http://h.com/a/b/x:y|z.gif", false, kSave + "x_y_z.gif"},
        {0, "http://h.com/a/b/c//d.gif", false, kSave + "c/_d.gif"},
        {0, "http://h.com/a/b/sub/page.asp?id=3", true,
         Hashed("sub/", "http://h.com/a/b/sub/page.asp?id=3", "htm")},
        {0, "http://h.com/a/b/sub/style.css?v=1", false,
         Hashed("sub/", "http://h.com/a/b/sub/style.css?v=1", "css")},
    };
    for (const MapCase& c : cases) {
        CVQLocalPathMapper mapper(Rules(c.dirStructure));
        EXPECT_EQ(mapper.Map(c.address, true, c.isHtml).path, c.expected)
            << c.address << " D=" << c.dirStructure;
    }
}

TEST(LocalPathMapper, OptionsAndFlags) {
    CVQPathRules rules = Rules(0);
    rules.keepQuery = true;
    EXPECT_EQ(CVQLocalPathMapper(rules).Map("http://h.com/a/b/sub/page.asp?id=3", false, true).path,
              kSave + "sub/page.asp^id=3.htm");

    rules = Rules(2);
    rules.retainFileNames = true;
    EXPECT_EQ(CVQLocalPathMapper(rules).Map("http://h.com/a/b/c/x.gif", false, false).path,
              kSave + "x.gif");

    rules = Rules(0);
    rules.renameHtml = false;
    EXPECT_EQ(CVQLocalPathMapper(rules).Map("http://h.com/a/b/p.php", false, true).path,
              kSave + "p.php");

    CVQLocalPathMapper mapper(Rules(0));
    EXPECT_FALSE(mapper.Map("http://h.com/a/b/c/x.gif", false, false).needsConversion);
    EXPECT_TRUE(mapper.Map("http://o.com/x.gif", false, false).needsConversion);
    EXPECT_TRUE(mapper.Map("http://h.com/a/b/%41.gif", false, false).needsConversion);
    EXPECT_TRUE(mapper.Map("http://h.com/a/b/p.asp", false, true).needsConversion);
}

TEST(LocalPathMapper, LongPathsAreAlwaysHashed) {
    CVQPathRules rules = Rules(0);
    rules.keepQuery = true;
    const std::string address = "http://h.com/a/b/d/" + std::string(250, 'x') + ".gif";
    const std::string path = CVQLocalPathMapper(rules).Map(address, false, false).path;
    EXPECT_EQ(path, Hashed("d/", address, "htm"));
}

// Hostile addresses: whatever the server or page writes, the file lands under the save directory.
TEST(LocalPathMapper, NeverLeavesTheSaveDirectory) {
    const char* hostile[] = {
        "http://h.com/a/b/%2e%2e%2f%2e%2e%2f%2e%2e%2fetc/passwd",
        "http://h.com/a/b/%2E%2E%5C%2E%2E%5Cx.htm",
        "http://h.com/a/b/..%2F..%2F..%2Fx.htm",
        "http://evil.com/../../../../etc/cron.d/x",
        "http://evil.com/a/./../../x",
        "http://h.com/a/b/x/%252e%252e/%252e%252e/%252e%252e/y.htm",
        "http://h.com/a/b/%00/%0a/x.htm",
        "file:///../../etc/passwd",
        "http://h.com/a/b/%2f%2fetc%2fpasswd",
        "http://h.com/a/b/..",
        "http://../../x",
        "..\\..\\x",
        "x*/..#/..#",
    };
    for (int d = 0; d <= 2; ++d) {
        CVQLocalPathMapper mapper(Rules(d));
        for (const char* address : hostile) {
            const CVQLocalPath mapped = mapper.Map(address, true, true);
            const std::string& p = mapped.path;
            ASSERT_EQ(p.rfind(kSave, 0), 0u) << address;
            const std::string rel = p.substr(kSave.size());
            EXPECT_FALSE(rel.empty()) << address;
            EXPECT_NE(rel.front(), '/') << address;
            EXPECT_EQ(("/" + rel + "/").find("/../"), std::string::npos) << address << " -> " << p;
            EXPECT_EQ(("/" + rel + "/").find("/./"), std::string::npos) << address << " -> " << p;
            EXPECT_EQ(rel.find("//"), std::string::npos) << address << " -> " << p;
            for (unsigned char c : rel)
                EXPECT_GE(c, 0x20) << address;
        }
    }
    EXPECT_TRUE(CVQLocalPathMapper(Rules(0)).Map("http://evil.com/../x.htm", false, true).madeHarmless);
}

} // namespace
