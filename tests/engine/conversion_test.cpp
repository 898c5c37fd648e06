#include "desktop/engine/conversion_pass.h"
#include "desktop/engine/link_conversion.h"
#include "desktop/engine/local_link.h"
#include "desktop/project/doc.h"
#include "desktop/project/node_placement.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

using vq::test::ReadFile;
using vq::test::WriteFile;

namespace {

TEST(LocalLink, RelativePaths) {
    const struct {
        const char* target;
        const char* page;
        const char* expected;
    } cases[] = {
        {"/s/site/a.htm", "/s/site/index.htm", "a.htm"},
        {"/s/site/img/a.gif", "/s/site/sub/p.htm", "../img/a.gif"},
        {"/s/o.com/x.htm", "/s/site/sub/p.htm", "../../o.com/x.htm"},
        {"/s/site/sub/deeper/x.htm", "/s/site/sub/p.htm", "deeper/x.htm"},
        {"/s/site/p.htm", "/s/site/p.htm", "p.htm"},
        {"/s/Site/a.htm", "/s/site/p.htm", "../Site/a.htm"},   // letter case counts on disk
        {"/s/sitex/a.htm", "/s/site/p.htm", "../sitex/a.htm"}, // whole directories only
        {"/s/../etc/x", "/s/site/p.htm", "/s/../etc/x"},
        {"/s/a..b.htm", "/s/p.htm", "a..b.htm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::RelativeLinkPath(c.target, c.page), c.expected) << c.target;
}

TEST(LocalLink, NamesAreWrittenSoThatABrowserOpensThem) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"a b/100%.htm", "a%20b/100%25.htm"},
        {"x#1.htm", "x%231.htm"},
        {"page.asp^id=3.htm", "page.asp%5Eid=3.htm"},
        {"q?.htm", "q%3F.htm"},
        {"it's (1).htm", "it%27s%20%281%29.htm"},
        {"a&b\"c<d>.htm", "a%26b%22c%3Cd%3E.htm"},
        {"caf\xc3\xa9.htm", "caf%C3%A9.htm"},
        {"c:x\\y\t.htm", "c%3Ax%5Cy%09.htm"},
        {"../-._~!$*+,;=@/ok.htm", "../-._~!$*+,;=@/ok.htm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::EncodeLocalPath(c.path), c.expected) << c.path;
}

class CVQStatusRecorder : public CVQDocObserver {
public:
    void ShowMessage(const std::string&, VQIcon) override {}
    VQAnswer Ask(const std::string&, bool, VQAnswer preselected) override { return preselected; }
    void StatusText(const std::string& text) override {
        const std::lock_guard lock(m_lock);
        texts.push_back(text);
        if (onStatus)
            onStatus();
    }
    std::vector<std::string> texts;
    std::function<void()> onStatus;

private:
    std::mutex m_lock;
};

class ConversionTest : public ::testing::Test {
protected:
    static constexpr const char* kStart = "http://o.com/site/index.htm";

    ConversionTest() : doc(options), pass(conversion) {
        doc.Settings().projectDir = dir.Path() + "/save/";
        doc.Settings().startUrl = {kStart};
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetStartDirUrl("http://o.com/site/");
        doc.SetLinkConverter(&conversion);
        doc.SetObserver(&observer);
        root = doc.Tree().CreateRoot("test");
        index = Add(root, kStart, vq::kGroupHtml);
    }

    // A node below parent, stored where the mapping puts it (or at path).
    CVQDocNode* Add(CVQDocNode* parent, const std::string& address, int group,
                    int status = kStatusDownloaded, const std::string& path = {}) {
        CVQNodeInit init;
        init.address = address;
        init.group = group;
        init.status = status;
        const std::string local =
            path.empty() ? doc.MapToLocalPath(address, true, group == vq::kGroupHtml).path : path;
        init.localPath = local;
        init.dirPosition = vq::DirectoryPosition(address, "http://o.com/site/");
        return doc.Tree().AddNode(parent, init);
    }

    std::string Store(const CVQDocNode* node, std::string_view text) {
        const std::string path(node->LocalPath());
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, text);
        return path;
    }

    std::optional<std::string> Convert(std::string_view link, bool requireExisting = false,
                                       bool isHtml = true, bool absolute = false) {
        CVQLinkToConvert request;
        request.link = link;
        request.pageDirUrl = "http://o.com/site/";
        request.pageAddress = kStart;
        const std::string pagePath(index->LocalPath());
        request.pagePath = pagePath;
        request.isHtml = isHtml;
        request.requireExisting = requireExisting;
        request.absolute = absolute;
        return conversion.ConvertedLink(doc, request);
    }

    std::string Save(const std::string& rest) const { return dir.Path() + "/save/" + rest; }

    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc;
    CVQStatusRecorder observer;
    CVQLinkConversion conversion;
    CVQConversionPass pass;
    CVQDocNode* root = nullptr;
    CVQDocNode* index = nullptr;
};

TEST_F(ConversionTest, ConvertedLinks) {
    doc.Settings().updLinks = 1;
    doc.Settings().conversionScope = kConvertAllFiles;
    // A file the server's answer gave another name: its node knows where it is.
    Add(index, "http://o.com/site/data.php", vq::kGroupHtml, kStatusDownloaded,
        Save("data.php.htm"));
    const struct {
        const char* link;
        std::optional<std::string> expected;
        bool isHtml = true;
    } cases[] = {
        {"", std::nullopt},
        {"#top", std::nullopt},
        {"a.htm", "a.htm"},
        {"./sub/b.htm", "sub/b.htm"},
        {"/site/sub/b.htm", "sub/b.htm"},
        {"http://o.com/site/sub/b.htm#part", "sub/b.htm#part"},
        {"b.htm#", "b.htm#"},
        {"sub/", "sub/default.htm"},
        {"sub/", "sub/default.", false},
        {"/", "Upper1/default.htm"},
        {"http://other.com/x/y.gif", "other.com/x/y.gif", false},
        {"a%20b.htm", "a%20b.htm"}, // stored as "a b.htm"
        {"data.php", "data.php.htm"},
        {"data.php#x", "data.php.htm#x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Convert(c.link, false, c.isHtml), c.expected) << c.link;
    EXPECT_EQ(Convert("sub/b.htm", false, true, true),
              "file://" + vq::EncodeLocalPath(Save("sub/b.htm")));

    // Only files on disk while the download runs; with "Convert ALL links" any link.
    EXPECT_EQ(Convert("a.htm", true), std::nullopt);
    WriteFile(Save("a.htm"), "x");
    EXPECT_EQ(Convert("a.htm", true), "a.htm");
    doc.Settings().updLinks = 2;
    EXPECT_EQ(Convert("missing.htm", true), "missing.htm");
    doc.Settings().updLinks = 0;
    EXPECT_EQ(Convert("a.htm"), std::nullopt);
}

// Every converted link, read the way a browser reads a relative reference in a file: address,
// names the stored file, however odd its name.
TEST_F(ConversionTest, OddNamesResolveToTheStoredFile) {
    doc.Settings().updLinks = 2;
    CVQDocNode* sub = Add(index, "http://o.com/site/sub/p.htm", vq::kGroupHtml);
    const char* names[] = {"100%.htm",     "a b.htm",         "x#1.htm",     "q?.htm",
                           "it's (1).htm", "caf\xc3\xa9.htm", "a&amp;b.htm", "c:d.htm"};
    for (const char* name : names) {
        const std::string stored = Save(std::string("odd/") + name);
        Add(index,
            std::string("http://o.com/site/stored/") +
                std::to_string(std::hash<std::string>{}(name)),
            vq::kGroupHtml, kStatusDownloaded, stored);
    }
    for (CVQDocNode* n = index->firstChild.load(); n; n = n->next.load()) {
        if (n == sub)
            continue;
        CVQLinkToConvert request;
        const std::string address(n->Address());
        request.link = address;
        request.pageDirUrl = "http://o.com/site/sub/";
        request.pageAddress = "http://o.com/site/sub/p.htm";
        const std::string pagePath(sub->LocalPath());
        request.pagePath = pagePath;
        const std::optional<std::string> link = conversion.ConvertedLink(doc, request);
        ASSERT_TRUE(link);
        // A browser: no query or fragment in a file path, escapes decoded, then joined.
        EXPECT_EQ(link->find_first_of("?# \"'<>&"), std::string::npos) << *link;
        std::string decoded;
        for (std::size_t i = 0; i < link->size(); ++i) {
            if ((*link)[i] == '%') {
                decoded += static_cast<char>(std::stoi(link->substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                decoded += (*link)[i];
            }
        }
        const std::string resolved =
            std::filesystem::path(Save("sub/" + decoded)).lexically_normal().string();
        EXPECT_EQ(resolved, n->LocalPath()) << *link;
    }
}

TEST_F(ConversionTest, WouldBeConverted) {
    CVQDocNode* image = Add(index, "http://img.com/a.gif", vq::kGroupImage, kStatusFiltered);
    std::optional<bool> filterAnswer;
    bool covered = false;
    conversion.SetFilters({[&](const CVQDoc&, std::string_view) { return filterAnswer; },
                           [&](const CVQDoc&, const CVQDocNode&) { return covered; }});
    const struct {
        int scope;
        int updLinks;
        int offsite;
        int position;
        std::optional<bool> filter;
        bool covered;
        bool withNode;
        bool expected;
    } cases[] = {
        {kConvertAllFiles, 0, 0, -5, std::nullopt, false, false, true},
        {kConvertNewFiles, 1, 0, 0, std::nullopt, false, false, true},
        {kConvertNewFiles, 2, 0, 3, std::nullopt, false, false, true},
        {kConvertNewFiles, 0, 0, 3, std::nullopt, false, false, false},
        {kConvertNewFiles, 2, 0, -5, false, false, false, true},
        {kConvertNewFiles, 1, 1, -5, false, false, false, true},
        {kConvertNewFiles, 1, 0, -5, true, false, false, true},
        {kConvertNewFiles, 1, 0, -5, false, true, true, false}, // the filter answers first
        {kConvertNewFiles, 1, 0, -5, std::nullopt, true, true, true},
        {kConvertNewFiles, 1, 0, -5, std::nullopt, true, false, false},
        {kConvertNewFiles, 1, 0, -5, std::nullopt, false, true, false},
        {kConvertNewFiles, 0, 1, -5, std::nullopt, false, true, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        doc.Settings().conversionScope = c.scope;
        doc.Settings().updLinks = c.updLinks;
        doc.Settings().offsite = c.offsite;
        filterAnswer = c.filter;
        covered = c.covered;
        EXPECT_EQ(conversion.WouldBeConverted(doc, "http://img.com/a.gif", c.position,
                                              c.withNode ? image : nullptr),
                  c.expected)
            << "row " << row;
        ++row;
    }
}

// Two downloads, each followed by the pass over the new files.
TEST_F(ConversionTest, PassesOverNewFilesOnly) {
    CVQDocNode* first = Add(index, "http://o.com/site/first.htm", vq::kGroupHtml);
    const std::string indexPath = Store(index, "<a href=\"/site/first.htm\">1</a>");
    const std::string firstPath = Store(first, "<a href=\"/site/index.htm#top\">0</a>");
    index->selection = kSelNeedsConversion | kSelSelected;

    CVQConversionResult result = pass.ConvertAfterDownload(doc);
    EXPECT_EQ(result.visited, 3u);
    EXPECT_EQ(result.rewritten, 1u);
    EXPECT_EQ(ReadFile(indexPath), "<a href=\"first.htm\">1</a>");
    EXPECT_EQ(ReadFile(firstPath), "<a href=\"/site/index.htm#top\">0</a>");
    EXPECT_EQ(index->selection, kSelSelected); // visited: the mark is gone, the choice stays
    EXPECT_EQ(doc.Settings().conversionScope, kConvertNewFiles);
    EXPECT_FALSE(doc.Run().converting);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_FALSE(observer.texts.empty());
    EXPECT_EQ(observer.texts.back(), "Converting Links... (100%)");

    // The second download marks only the page it got; the first one is left alone.
    CVQDocNode* second = Add(index, "http://o.com/site/second.htm", vq::kGroupHtml);
    const std::string secondPath = Store(second, "<a href=\"http://o.com/site/first.htm#a\">1</a>"
                                                 "<a href=\"#b\">b</a>");
    second->selection = kSelNeedsConversion;
    Store(index, "<a href=\"/site/first.htm\">1</a>");
    result = pass.ConvertAfterDownload(doc);
    EXPECT_EQ(result.rewritten, 1u);
    EXPECT_EQ(ReadFile(indexPath), "<a href=\"/site/first.htm\">1</a>");
    EXPECT_EQ(ReadFile(secondPath), "<a href=\"first.htm#a\">1</a><a href=\"#b\">b</a>");

    // All files: every stored page, also those never marked.
    result = pass.ConvertCommand(doc, kConvertAllFiles, nullptr, nullptr);
    EXPECT_EQ(result.rewritten, 3u);
    EXPECT_EQ(ReadFile(indexPath), "<a href=\"first.htm\">1</a>");
    EXPECT_EQ(ReadFile(firstPath), "<a href=\"index.htm#top\">0</a>");
}

TEST_F(ConversionTest, FilteredImages) {
    doc.Settings().conversionScope = kConvertNewFiles;
    conversion.SetFilters({[](const CVQDoc&, std::string_view address) -> std::optional<bool> {
                               if (address.find("img.com") != std::string_view::npos)
                                   return false;
                               return std::nullopt;
                           },
                           {}});
    CVQDocNode* image = Add(index, "http://img.com/pics/a.gif", vq::kGroupImage, kStatusFiltered);
    image->reason = kSkipUrlFilter;
    const std::string page = "<img src=\"http://img.com/pics/a.gif\">";
    const std::string path = Store(index, page);

    doc.Settings().updLinks = 1;
    index->selection = kSelNeedsConversion;
    pass.ConvertAfterDownload(doc);
    EXPECT_EQ(ReadFile(path), page); // stays as it is on the site

    doc.Settings().updLinks = 2;
    index->selection = kSelNeedsConversion;
    pass.ConvertAfterDownload(doc);
    EXPECT_EQ(ReadFile(path), "<img src=\"img.com/pics/a.gif\">");
    EXPECT_FALSE(std::filesystem::exists(image->LocalPath()));
}

TEST_F(ConversionTest, ProgressCancelAndStop) {
    for (int i = 0; i < 8; ++i) {
        CVQDocNode* n =
            Add(index, "http://o.com/site/p" + std::to_string(i) + ".htm", vq::kGroupHtml);
        Store(n, "<a href=\"/site/index.htm\">");
        n->selection = kSelNeedsConversion;
    }
    struct CVQCancelAt : CVQConversionProgress {
        bool KeepGoing(int percent) override {
            seen.push_back(percent);
            return seen.size() < 3;
        }
        std::vector<int> seen;
    } progress;
    CVQConversionResult result = pass.ConvertCommand(doc, kConvertNewFiles, nullptr, &progress);
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(result.visited, 3u);
    EXPECT_EQ(progress.seen, (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(doc.Settings().updLinks, 1);

    // A stop clears the converting flag, which ends the pass after a download.
    observer.onStatus = [this] { doc.Run().converting = false; };
    result = pass.ConvertAfterDownload(doc);
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(result.visited, 1u);

    // The command converts a project that converts no links as if it converted downloaded
    // ones, and leaves the setting as it was.
    observer.onStatus = nullptr;
    doc.Settings().updLinks = 0;
    result = pass.ConvertCommand(doc, kConvertNewFiles, nullptr, nullptr);
    EXPECT_FALSE(result.ended);
    EXPECT_EQ(result.rewritten, 7u);
    EXPECT_EQ(doc.Settings().updLinks, 0);
}

TEST_F(ConversionTest, PreparesTheDirectoryAndTheStartOfABranch) {
    // A save directory named after the date: the pass works in the last download's.
    doc.Settings().projectDir = dir.Path() + "/dated/[%d]/";
    doc.Settings().downloadDirInUse = dir.Path() + "/save/";
    doc.Settings().startUrl = {kStart, "http://p.com/docs/start.htm"};
    doc.Settings().singleUrl = 0;
    CVQDocNode* other = Add(root, "http://p.com/docs/start.htm", vq::kGroupHtml);
    CVQDocNode* page = Add(other, "http://p.com/docs/more/page.htm", vq::kGroupHtml);
    pass.Convert(doc, kConvertAllFiles, page);
    EXPECT_EQ(doc.SaveDirInUse(), dir.Path() + "/save/");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/dated"));
    EXPECT_EQ(doc.StartDirUrl(), "http://p.com/docs/");

    // No tree, nothing to do.
    doc.Tree().Clear();
    EXPECT_EQ(pass.Convert(doc, kConvertAllFiles).visited, 0u);
}

} // namespace
