#include "desktop/engine/download_filter.h"
#include "desktop/engine/url_filter_match.h"
#include "desktop/engine/url_parts.h"
#include "desktop/engine/url_pattern.h"
#include "desktop/project/doc.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct PatternCase {
    const char* text;
    const char* pattern;
    bool match;
};

TEST(UrlPattern, WildcardRules) {
    const PatternCase cases[] = {
        {"Index.HTM", "index.htm", true}, // no wildcard: equal ignoring case
        {"index.html", "index.htm", false},
        {"anything", "", true},
        {"", "*", true},
        {"x", "^", true},
        {"xy", "^", false},
        {"", "^", false},
        {"page.htm", "*.htm", true},
        {".htm", "*.htm", false},     // the final run is searched from its index in the pattern
        {"page.html", "*.htm", true}, // a final run only has to occur
        {"WWW.X.COM", "www.*", true},
        {"www.", "www.*", false}, // a final "*" wants at least one more character
        {"ab", "a^", true},
        {"abc", "a^", false}, // a final "^" wants exactly one
        {"axby", "a^b^", true},
        {"axxby", "a^b^", false},
        {"axxby", "a*b^", false}, // a run followed by "^" starts one after the previous run
        {"axxbyy", "a*b*", true},
        {"ab", "a*b*", false},
        {"xay", "*a^", true},
        {"xxay", "*a^", false},
        {"axy", "a*^", true}, // "*^" at the end: exactly two characters after the run
        {"axyz", "a*^", false},
        {"xbc", "b*c", true},
        {"short", "shorter*", false},
    };
    for (const PatternCase& c : cases)
        EXPECT_EQ(vq::MatchUrlPattern(c.text, c.pattern), c.match)
            << '"' << c.text << "\" against \"" << c.pattern << '"';
}

TEST(UrlParts, SplitAfterProtocol) {
    struct Case {
        const char* address;
        int protocol;
        const char* server;
        const char* directory;
        const char* file;
    };
    const Case cases[] = {
        {"http://www.x.com/a/b/c.htm", 1, "www.x.com", "a/b", "c.htm"},
        {"https://x.com/c.php?id=1", 2, "x.com", "", "c.php?id=1"},
        {"ftp://f.org/pub/dir/", 4, "f.org", "pub/dir", ""},
        {"http://x.com/a/b", 1, "x.com", "a/b", ""},
        {"http://x.com", 1, "x.com", "", ""},
        {"file://c|\\dir\\x.htm", 8, "c|", "dir", "x.htm"},
        {"www.x.com/a/p.htm", 0, "www.x.com", "a", "p.htm"},
        {"HTTP://X.com/d/", 1, "X.com", "d", ""},
    };
    for (const Case& c : cases) {
        const CVQUrlParts parts = vq::SplitUrlForFilters(c.address);
        EXPECT_EQ(parts.protocol, c.protocol) << c.address;
        EXPECT_EQ(parts.server, c.server) << c.address;
        EXPECT_EQ(parts.directory, c.directory) << c.address;
        EXPECT_EQ(parts.file, c.file) << c.address;
    }
}

CVQUrl Filter(int include, const char* server, const char* dir, const char* file,
              int protocol = 15) {
    return CVQUrl{include, protocol, server, dir, file};
}

TEST(UrlFilters, WeightsDecideBetweenIncludeAndExclude) {
    struct Case {
        const char* what;
        CVQUrlArray filters;
        const char* address;
        VQFilterVerdict verdict;
    };
    const Case cases[] = {
        {"no filters", {}, "http://x.com/a.htm", VQFilterVerdict::kNone},
        {"exclude every server",
         {Filter(0, "*", "", "")},
         "http://x.com/a.htm",
         VQFilterVerdict::kExclude},
        {"include file beats exclude server",
         {Filter(0, "*", "", ""), Filter(1, "", "", "*.htm")},
         "http://x.com/a.htm",
         VQFilterVerdict::kInclude},
        {"ties go to include",
         {Filter(0, "*", "", ""), Filter(1, "x.com", "", "")},
         "http://x.com/a.htm",
         VQFilterVerdict::kInclude},
        {"include file beats exclude directory",
         {Filter(1, "", "", "keep.htm"), Filter(0, "", "docs", "")},
         "http://x.com/docs/keep.htm",
         VQFilterVerdict::kInclude},
        {"exclude file beats include server",
         {Filter(1, "x.com", "", ""), Filter(0, "", "", "*.zip")},
         "http://x.com/d/a.zip",
         VQFilterVerdict::kExclude},
        {"the last including match counts, not the heaviest",
         {Filter(1, "", "", "*.htm"), Filter(0, "", "docs", ""), Filter(1, "x.com", "", "")},
         "http://x.com/docs/a.htm",
         VQFilterVerdict::kExclude},
        {"a file pattern also needs its directory pattern",
         {Filter(1, "", "other", "a.htm")},
         "http://x.com/docs/a.htm",
         VQFilterVerdict::kNone},
        {"another protocol does not match",
         {Filter(0, "*", "", "", 2)},
         "http://x.com/a.htm",
         VQFilterVerdict::kNone},
        {"the protocol of the filter matches",
         {Filter(0, "*", "", "", 2)},
         "https://x.com/a.htm",
         VQFilterVerdict::kExclude},
        {"a filter without patterns matches with weight 1",
         {Filter(1, "", "", ""), Filter(0, "x.com", "", "")},
         "http://x.com/a.htm",
         VQFilterVerdict::kExclude},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vq::MatchUrlFilters(c.filters, c.address), c.verdict) << c.what;
}

// A project copying http://www.s.com/a/ and one node to judge.
struct FilterFixture : ::testing::Test {
    FilterFixture() : doc(options), filter(doc) {
        doc.Settings().startUrl = {"http://www.s.com/a/"};
        filter.SetStartDirUrl("http://www.s.com/a/");
    }

    CVQDocNode& Node(const char* address, int group, int dirPosition = 0, int level = 1) {
        node = doc.Tree().AddNode(doc.Tree().Root(), CVQNodeInit{.address = address,
                                                                 .group = group,
                                                                 .dirPosition = dirPosition,
                                                                 .level = level});
        return *node;
    }

    CVQProgramOptions options;
    CVQDoc doc;
    CVQDownloadFilter filter;
    CVQDocNode* node = nullptr;
};

constexpr int kOffServer = kOtherServerPosition - 2;

struct AllowedCase {
    const char* what;
    std::function<void(CVQPrjSettings&, CVQDownloadState&)> setup;
    const char* address;
    int group;
    int dirPosition;
    int extEnabled;
    bool allowed;
    int reason; // expected after the call; 99 stands for "left as it was"
};

TEST_F(FilterFixture, AllowedAppliesItsRulesInOrder) {
    const auto none = [](CVQPrjSettings&, CVQDownloadState&) {};
    const auto preview = [](CVQPrjSettings&, CVQDownloadState& r) { r.preview = true; };
    const auto detailed = [](CVQPrjSettings& s, CVQDownloadState& r) {
        r.preview = true;
        s.detPrev = 1;
    };
    const auto excludeAll = [](CVQPrjSettings& s, CVQDownloadState&) {
        s.urlFilter = {Filter(0, "*", "", "")};
    };
    const auto includeUp = [](CVQPrjSettings& s, CVQDownloadState&) {
        s.down = 1;
        s.urlFilter = {Filter(1, "", "", "up.htm")};
    };
    const auto down = [](CVQPrjSettings& s, CVQDownloadState&) { s.down = 1; };
    const auto noImages = [](CVQPrjSettings& s, CVQDownloadState&) { s.imageAlways = 0; };
    const auto noImageType = [](CVQPrjSettings& s, CVQDownloadState&) {
        s.fileTypes = vq::kGroupAll & ~vq::kGroupImage;
    };
    const auto noHtmlType = [](CVQPrjSettings& s, CVQDownloadState&) {
        s.fileTypes = vq::kGroupAll & ~vq::kGroupHtml;
    };
    const auto nonHtml = [](CVQPrjSettings& s, CVQDownloadState&) { s.nonHtmlAlways = 1; };
    const auto selectedOnly = [](CVQPrjSettings& s, CVQDownloadState& r) {
        s.urlFilter = {Filter(0, "*", "", "")};
        r.downloadType = kDownloadSelected;
    };
    const int html = vq::kGroupHtml, image = vq::kGroupImage, document = vq::kGroupDocument;
    const AllowedCase cases[] = {
        {"a page below the start", none, "http://www.s.com/a/p.htm", html, 0, 1, true, 99},
        {"preview refuses other files", preview, "http://www.s.com/a/i.gif", image, 0, 1, false,
         kSkipPreview},
        {"preview keeps pages", preview, "http://www.s.com/a/p.htm", html, 0, 1, true, 99},
        {"detailed scanning lets files through", detailed, "http://www.s.com/a/i.gif", image, 0, 1,
         true, 99},
        {"an excluding URL filter", excludeAll, "http://www.s.com/a/p.htm", html, 0, 1, false,
         kSkipUrlFilter},
        {"the same server without www.", none, "http://s.com/a/p.htm", html, 0, 1, true, 99},
        {"another server", none, "http://other.com/p.htm", html, kOffServer, 1, false,
         kSkipOtherServer},
        {"an image from anywhere", none, "http://other.com/i.gif", image, kOffServer, 1, true, 99},
        {"an offsite image without that option", noImages, "http://other.com/i.gif", image,
         kOffServer, 1, false, kSkipOtherServer},
        {"a style sheet from anywhere", none, "http://other.com/s.css", html, kOffServer, 1, true,
         99},
        {"a style sheet without the HTML type", noHtmlType, "http://other.com/s.css", html,
         kOffServer, 1, false, kSkipFileFilter},
        {"an image type that is not wanted", noImageType, "http://www.s.com/a/i.gif", image, 0, 1,
         false, kSkipFileFilter},
        {"other files from anywhere", nonHtml, "http://other.com/d.pdf", document, kOffServer, 1,
         true, 99},
        {"above the starting directory", down, "http://www.s.com/up.htm", html, -1, 1, false,
         kSkipOutsideStartDir},
        {"above the start but taken in by a filter", includeUp, "http://www.s.com/up.htm", html, -1,
         1, true, 99},
        {"an unchecked extension", none, "http://www.s.com/a/i.gif", image, 0, 0, false,
         kSkipFileFilter},
        {"an unknown extension", none, "http://www.s.com/a/x.qqq", 0, 0, 1, true, 99},
        {"an unreadable server keeps its reason", none, "http:///p.htm", html, 0, 1, false, 99},
        {"special types take every node", selectedOnly, "http://other.com/p.htm", html, kOffServer,
         0, true, 99},
    };
    for (const AllowedCase& c : cases) {
        doc.Settings() = CVQPrjSettings();
        doc.Settings().Reset(options);
        doc.Run().preview = false;
        doc.Run().downloadType = kDownloadNew;
        c.setup(doc.Settings(), doc.Run());
        CVQDocNode& n = Node(c.address, c.group, c.dirPosition);
        n.extEnabled = static_cast<std::uint8_t>(c.extEnabled);
        n.reason = 99;
        EXPECT_EQ(filter.Allowed(n), c.allowed) << c.what;
        EXPECT_EQ(n.reason, c.reason) << c.what;
    }
}

TEST_F(FilterFixture, IncludingFilterMarksTheNodeForcedIn) {
    doc.Settings().urlFilter = {Filter(1, "other.com", "", "")};
    CVQDocNode& n = Node("http://other.com/p.htm", vq::kGroupHtml, kOffServer);
    EXPECT_TRUE(filter.Allowed(n));
    EXPECT_EQ(n.selection, kSelForcedIn);
}

TEST_F(FilterFixture, LevelLimitsLetFilesOneLevelFurther) {
    struct Case {
        const char* what;
        int limL, maxL, limOl, maxOl;
        int group, dirPosition, level;
        bool passes;
    };
    const int html = vq::kGroupHtml, image = vq::kGroupImage;
    const Case cases[] = {
        {"a page beyond the limit", 1, 3, 0, 0, html, 0, 4, false},
        {"an image beyond the page limit", 1, 3, 0, 0, image, 0, 4, true},
        {"an image two levels beyond", 1, 3, 0, 0, image, 0, 5, false},
        {"a page on the limit", 1, 3, 0, 0, html, 0, 3, true},
        {"no limit on the starting server", 0, 3, 1, 0, html, -2, 40, true},
        {"the offsite limit", 0, 3, 1, 1, html, kOffServer, 2, false},
        {"an offsite image one further", 0, 3, 1, 1, image, kOffServer, 2, true},
        {"no offsite limit", 1, 0, 0, 1, html, kOffServer, 9, true},
    };
    for (const Case& c : cases) {
        CVQPrjSettings& s = doc.Settings();
        s.limL = c.limL;
        s.maxL = c.maxL;
        s.limOl = c.limOl;
        s.maxOl = c.maxOl;
        CVQDocNode& n = Node("http://www.s.com/a/x", c.group, c.dirPosition, c.level);
        EXPECT_EQ(filter.LevelCheck(n), c.passes) << c.what;
        EXPECT_EQ(n.reason, c.passes ? 0 : kSkipLevel) << c.what;
    }
    doc.Run().downloadType = kDownloadFailed;
    EXPECT_TRUE(filter.LevelCheck(Node("http://www.s.com/a/x", html, 0, 99)));
}

} // namespace

namespace {

TEST_F(FilterFixture, KeepPageAppliesTheLimitsOfTheExtensionFirst) {
    struct Case {
        const char* what;
        std::function<void(CVQPrjSettings&)> setup;
        int group;
        int extEnabled;
        std::uint64_t size;
        bool kept;
    };
    const auto none = [](CVQPrjSettings&) {};
    const auto noHtml = [](CVQPrjSettings& s) { s.fileTypes = vq::kGroupImage; };
    const auto max1000 = [](CVQPrjSettings& s) {
        s.limMaxFs = 1;
        s.maxMaxFs = 1000;
    };
    const auto min100 = [](CVQPrjSettings& s) {
        s.limMinFs = 1;
        s.maxMinFs = 100;
    };
    const auto ownLimit = [](CVQPrjSettings& s) {
        s.limMaxFs = 1;
        s.maxMaxFs = 1000;
        CVQFileExt* htm = vq::FindExt(*s.ExtList(vq::kGroupHtml), "htm");
        htm->limitMax = 1;
        htm->maxSize = 5000;
    };
    const int html = vq::kGroupHtml;
    const Case cases[] = {
        {"other files were judged before their download", max1000, vq::kGroupImage, 1, 5000, true},
        {"a page without limits", none, html, 1, 5000, true},
        {"pages are not wanted", noHtml, html, 1, 10, false},
        {"its extension is unchecked", none, html, 0, 10, false},
        {"above the project's maximum", max1000, html, 1, 1001, false},
        {"at the project's maximum", max1000, html, 1, 1000, true},
        {"below the project's minimum", min100, html, 1, 99, false},
        {"the extension's own maximum replaces the project's", ownLimit, html, 1, 2000, true},
        {"above the extension's own maximum", ownLimit, html, 1, 5001, false},
    };
    for (const Case& c : cases) {
        doc.Settings() = CVQPrjSettings();
        doc.Settings().Reset(options);
        c.setup(doc.Settings());
        CVQDocNode& n = Node("http://www.s.com/a/p.htm", c.group);
        doc.Tree().SetLocalPath(&n, "/save/a/p.htm");
        n.extEnabled = static_cast<std::uint8_t>(c.extEnabled);
        EXPECT_EQ(filter.KeepPage(n, c.size), c.kept) << c.what;
    }
}

} // namespace
