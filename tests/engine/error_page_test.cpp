#include "desktop/engine/error_page.h"
#include "desktop/project/doc.h"
#include "desktop/project/node_placement.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using vq::test::ReadFile;

namespace {

class ErrorPageTest : public ::testing::Test {
protected:
    ErrorPageTest() : doc(options) {
        doc.Settings().projectDir = dir.Path() + "/save/";
        doc.Settings().startUrl = {"http://o.com/site/index.htm"};
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetStartDirUrl("http://o.com/site/");
        root = doc.Tree().CreateRoot("test");
    }

    CVQDocNode* Add(const std::string& address, int status, int reason = 0, int level = 1) {
        CVQNodeInit init;
        init.address = address;
        init.status = status;
        init.level = level;
        const std::string path = doc.MapToLocalPath(address, true, true).path;
        init.localPath = path;
        init.dirPosition = vq::DirectoryPosition(address, "http://o.com/site/");
        CVQDocNode* node = doc.Tree().AddNode(root, init);
        node->reason = reason;
        return node;
    }

    std::string Save(const std::string& rest) const { return dir.Path() + "/save/" + rest; }

    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc;
    CVQDocNode* root = nullptr;
};

TEST_F(ErrorPageTest, ClassifiesByTheNodesStatusAndReason) {
    const struct {
        int status;
        int reason;
        int bit;
        const char* reasonText;
    } cases[] = {
        {kStatusDownloaded, 0, kErrDownloaded,
         "The links within the downloaded files have not "
         "been converted for offline browsing."},
        {kStatusToCheck, 0, kErrDownloaded, "The links within the downloaded files"},
        {kStatusError, 404, kErrFailed, "An error has occurred during this file download."},
        {kStatusFiltered, kSkipOtherServer, kErrOtherServer, "located on a different website."},
        {kStatusFiltered, kSkipUrlFilter, kErrUrlFilter, "because of URL Filter."},
        {kStatusFiltered, kSkipFileFilter, kErrFileFilter, "because of File Filter."},
        {kStatusFiltered, kSkipTooBig, kErrTooBig, "exceeds file size limit."},
        {kStatusFiltered, kSkipTooSmall, kErrTooSmall, "smaller than minimum file size limit."},
        {kStatusFiltered, kSkipPreview, kErrPreview, "during site Preview."},
        {kStatusFiltered, kSkipOutsideStartDir, kErrOutsideStartDir,
         "under the starting directory."},
        {kStatusFiltered, kSkipLevel, kErrLevel, "because of Levels limit."},
        {kStatusDownloading, 0, kErrDownloading, "The file is being downloaded right now."},
        {kStatusToAnalyze, 0, kErrNotDownloadedYet, "The file has not been downloaded yet."},
        {kStatusFiltered, 0, 0, "The file can't be found on the website."},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string address = "http://o.com/site/f" + std::to_string(i++) + ".htm";
        Add(address, c.status, c.reason);
        const CVQErrorPageInfo info = CVQErrorPage::Classify(doc, address);
        EXPECT_EQ(info.bits, kErrOnline | c.bit) << address;
        EXPECT_NE(CVQErrorPage::ReasonText(info).find(c.reasonText), std::string::npos)
            << CVQErrorPage::ReasonText(info);
    }
    const CVQErrorPageInfo failed = CVQErrorPage::Classify(doc, "http://o.com/site/f2.htm");
    EXPECT_EQ(CVQErrorPage::AdviceText(failed),
              "<li>The error code is 404.</li><li>Please open the Help File, Appendix A to find "
              "the error description.</li>");

    // No node: the address alone, with the error folder taken out of it.
    const CVQErrorPageInfo none =
        CVQErrorPage::Classify(doc, "http://LOCALHOST/_VQerror/o.com/site/none.htm");
    EXPECT_EQ(none.bits, kErrOnline | kErrNoNode);
    EXPECT_EQ(none.onlineAddress, "http://o.com/site/none.htm");
    EXPECT_EQ(CVQErrorPage::AdviceText(none),
              "<li>Check that the URL you are trying to access is valid and the site is available "
              "online.</li>");
}

TEST_F(ErrorPageTest, LocalPathsAndTheLevelAdvice) {
    Add("http://o.com/site/deep/page.htm", kStatusFiltered, kSkipLevel, 4);
    Add("http://far.com/x/y.htm", kStatusFiltered, kSkipLevel, 2);

    // A stored path of the project: its online address and its node.
    CVQErrorPageInfo info = CVQErrorPage::Classify(doc, Save("deep/page.htm"));
    EXPECT_EQ(info.bits, kErrOnline | kErrLevel);
    EXPECT_EQ(info.onlineAddress, "http://o.com/site/deep/page.htm");
    EXPECT_EQ(CVQErrorPage::AdviceText(info),
              "<li>Open 'Project Settings / Advanced / Download' window.</li><li>Increase the "
              "'Levels Limits / Main Links' to 4.</li>");

    // As the browser names it; a file of another server waits for the offsite limit, and its
    // online address is its own rather than one made from the starting directory.
    info = CVQErrorPage::Classify(doc, "file://" + Save("far.com/x/y.htm"));
    EXPECT_EQ(info.onlineAddress, "http://far.com/x/y.htm");
    EXPECT_EQ(CVQErrorPage::AdviceText(info),
              "<li>Open 'Project Settings / Advanced / Download' window.</li><li>Increase the "
              "'Levels Limits / Offsite Links' to 2.</li>");

    // Based on URLs: the path below the save directory is the address.
    doc.Settings().dirStr = 1;
    info = CVQErrorPage::Classify(doc, "file://" + Save("q.com/a%20b.htm"));
    EXPECT_EQ(info.onlineAddress, "http://q.com/a b.htm");
    EXPECT_EQ(info.bits, kErrOnline | kErrNoNode);

    // Outside the save directory: no address, and nothing to show without a node.
    info = CVQErrorPage::Classify(doc, "/elsewhere/x.htm");
    EXPECT_EQ(info.bits, kErrNoNode);
    EXPECT_EQ(vq::NavigationErrorPage(doc, "/elsewhere/x.htm", VQNavigationError::HttpNotFound,
                                      dir.File("err")),
              std::nullopt);
}

TEST_F(ErrorPageTest, ThePageFromTheTemplate) {
    Add("http://o.com/site/gone.htm", kStatusError, 404);
    const std::optional<std::string> path = vq::NavigationErrorPage(
        doc, "http://o.com/site/gone.htm", VQNavigationError::ResourceNotFound, dir.File("err"));
    ASSERT_TRUE(path);
    const std::string name = std::filesystem::path(*path).filename();
    EXPECT_EQ(name.substr(0, 2), "vq");
    EXPECT_EQ(std::filesystem::path(*path).extension(), ".htm");
    const std::string page = ReadFile(*path);
    for (const char* part :
         {"CONTENT=\"text/html; CHARSET=UTF-8\"", "<TITLE>Document not found</TITLE>",
          "CLASS=\"clsHeading\">Document not found<", "This page is not accessible offline.",
          "<B>Reason: </B>", "An error has occurred during this file download.",
          "<B>What to do:</B>", "<li>The error code is 404.</li>", "Click here to go online:",
          "<a href=\"http://o.com/site/gone.htm\">http://o.com/site/gone.htm</a>", "\r\n"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(page.find("VQ_HTML_ERROR_REPLACE"), std::string::npos);
    EXPECT_EQ(page.find("\n", page.find("\n") + 1) - 1, page.find("\r\n", page.find("\n") + 1));

    // Without an online address markers 9 and 10 stay for the browser to pass over.
    CVQErrorPageInfo offline;
    offline.bits = kErrDownloaded;
    const std::string kept = CVQErrorPage::PageText(offline);
    EXPECT_NE(kept.find("<VQ_HTML_ERROR_REPLACE_9>"), std::string::npos);
    EXPECT_NE(kept.find("<VQ_HTML_ERROR_REPLACE_10>"), std::string::npos);
    EXPECT_EQ(kept.find("<VQ_HTML_ERROR_REPLACE_8>"), std::string::npos);
}

TEST_F(ErrorPageTest, TheBrowsedAddressCannotInjectMarkup) {
    CVQErrorPageInfo info;
    info.bits = kErrOnline | kErrNoNode;
    info.onlineAddress = "http://o.com/\"><script>alert(1)</script>&x='";
    std::string page = CVQErrorPage::PageText(info);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"http://o.com/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;"
                        "&amp;x=&#39;\">"),
              std::string::npos);

    info.onlineAddress = "javascript:alert(document.cookie)";
    page = CVQErrorPage::PageText(info);
    EXPECT_EQ(page.find("href"), std::string::npos);
    EXPECT_NE(page.find("javascript:alert(document.cookie)"), std::string::npos);
}

TEST_F(ErrorPageTest, WhenTheBrowserAsksForOne) {
    Add("http://o.com/site/gone.htm", kStatusError, 404);
    const std::string url = "http://o.com/site/gone.htm";
    const std::string folder = dir.File("err");
    EXPECT_TRUE(vq::NavigationErrorPage(doc, url, VQNavigationError::HttpNotFound, folder));
    EXPECT_TRUE(vq::NavigationErrorPage(doc, url, VQNavigationError::CannotConnect, folder));
    EXPECT_TRUE(vq::NavigationErrorPage(doc, url, VQNavigationError::ObjectNotFound, folder));
    EXPECT_FALSE(vq::NavigationErrorPage(doc, url, VQNavigationError::Other, folder));
    doc.Settings().customErrorPage = 0;
    EXPECT_FALSE(vq::NavigationErrorPage(doc, url, VQNavigationError::HttpNotFound, folder));

    // The folder in the program's data folder, made when missing.
    doc.Settings().customErrorPage = 1;
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    EXPECT_EQ(CVQErrorPage::DefaultFolder(), dir.File("data") + "/Velloquin/_VQerror");
    const auto path = vq::NavigationErrorPage(doc, url, VQNavigationError::HttpNotFound);
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(path);
    EXPECT_EQ(std::filesystem::path(*path).parent_path(), dir.File("data") + "/Velloquin/_VQerror");
}

} // namespace
