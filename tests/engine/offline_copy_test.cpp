// A small site copied from a loopback server and converted, then browsed offline.
#include "desktop/address/address.h"
#include "desktop/content/parser.h"
#include "desktop/engine/conversion_pass.h"
#include "desktop/engine/link_conversion.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "tests/support/http_test_server.h"
#include "tests/support/offline_check.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {

// The download as the engine runs it, reduced to what the conversion needs: one worker, level by
// level, the starting server only, every page parsed as soon as it is stored, the pass after it.
class CVQTestCopy {
public:
    CVQTestCopy(CVQDoc& doc, CVQLinkConversion& conversion) : m_doc(doc), m_pass(conversion) {}

    void Run(const std::string& startUrl) {
        CVQDocTree& tree = m_doc.Tree();
        m_doc.SetStartDirUrl(vq::DirectoryUrl(startUrl));
        CVQNodeInit init;
        init.address = startUrl;
        init.group = 1;
        init.level = 0;
        init.dirPosition = 0;
        const std::string startPath = m_doc.MapToLocalPath(startUrl, true, true).path;
        init.localPath = startPath;
        tree.AddNode(tree.Root(), init);
        ASSERT_TRUE(m_inet.OpenSession(m_doc, false));
        m_parser.UseClient(m_inet);
        const std::string host = vq::HostName(startUrl);
        while (CVQDocNode* node = NextToFetch()) {
            if (vq::HostName(node->Address()) != host) {
                node->reason = kSkipOtherServer;
                node->status = kStatusFiltered;
                continue;
            }
            node->status = kStatusDownloading;
            std::string address(node->Address());
            std::string local(node->LocalPath());
            bool canRetry = false, interrupted = false;
            int group = 0, contentClass = 0;
            if (!m_inet.Download(address, local, 0, m_doc, true, canRetry, interrupted, 0, "",
                                 group, contentClass, 0, node)) {
                node->reason = m_inet.ErrorCode();
                node->status = kStatusError;
                continue;
            }
            if (local != node->LocalPath())
                tree.SetLocalPath(node, local);
            node->status = kStatusDownloaded;
            m_parser.ParseFile(address, local, node, 0, m_doc);
        }
        // The end of the run: the pass over what the download marked.
        if (m_doc.LinksNeedConversion() && m_doc.Settings().updLinks != 0)
            m_pass.ConvertAfterDownload(m_doc);
    }

private:
    CVQDocNode* NextToFetch() {
        CVQDocNode* found = nullptr;
        m_doc.Tree().WalkLevelOrder(nullptr, [&found](CVQDocNode& n) {
            if (n.kind != kNodeRoot && n.status == kStatusToAnalyze) {
                found = &n;
                return false;
            }
            return true;
        });
        return found;
    }

    CVQDoc& m_doc;
    CVQConversionPass m_pass;
    CVQInet m_inet;
    CVQParser m_parser;
};

class OfflineCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(far.Start());
        const std::string self = server.Url("/site/");
        const std::string elsewhere = "http://localhost:" + std::to_string(far.Port());
        const auto page = [this](const std::string& path, const std::string& body) {
            server.Content(path, "<html><body>" + body + "</body></html>", "text/html");
        };
        page("/site/index.html",
             "<link rel=\"stylesheet\" href=\"/site/css/site.css\">"
             "<script src=\"js/menu.js\"></script>\n"
             "<a href=\"about.html#team\">About</a>\r\n"
             "<a href=\"" +
                 self +
                 "docs/guide.html\">Guide</a>\n"
                 "<a href=\"docs/\">Docs</a> <a href=\"a%20b.html\">Blank</a>\n"
                 "<a href=\"100%25.html\">Percent</a> <a href=\"page.php?id=3\">Query</a>\n"
                 "<a href=\"#top\">Top</a> <a href=\"mailto:x@example.com\">Mail</a>\n"
                 "<img src=\"img/logo.png\"> <img src=\"" +
                 elsewhere + "/pics/far.png\">");
        page("/site/about.html", "<a name=\"team\"></a><a href=\"index.html\">Home</a>"
                                 "<img src=\"/site/img/logo.png\">");
        page("/site/docs/guide.html",
             "<base href=\"" + self +
                 "\">"
                 "<a href=\"about.html\">About</a><img src=\"img/logo.png\">");
        page("/site/docs/", "<a href=\"guide.html\">Guide</a> <a href=\"../index.html\">Home</a>");
        page("/site/a b.html", "<a href=\"index.html\">Home</a>");
        page("/site/100%.html", "<a href=\"a%20b.html\">Blank</a>");
        page("/site/page.php", "<a href=\"" + self + "index.html\">Home</a>");
        server.Content("/site/css/site.css",
                       "@import \"print.css\";\nbody { background: url(../img/bg.png) }\n",
                       "text/css");
        server.Content("/site/css/print.css", "p { color: black }\n", "text/css");
        server.Content("/site/js/menu.js", "function go() { location = \"about.html\"; }\n",
                       "application/javascript");
        server.Content("/site/img/logo.png", "PNG", "image/png");
        server.Content("/site/img/bg.png", "PNG", "image/png");
        far.Content("/pics/far.png", "PNG", "image/png");

        doc.Settings().projectDir = dir.Path() + "/save/";
        doc.Settings().startUrl = {server.Url("/site/index.html")};
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetLinkConverter(&conversion);
    }

    // Copies the site and walks the copy; LeftOnline problems count only for stored files.
    std::vector<CVQOfflineProblem> CopyAndCheck(CVQOfflineCheck::Totals& totals) {
        CVQTestCopy(doc, conversion).Run(server.Url("/site/index.html"));
        CVQOfflineCheck check;
        check.storedFileOf = [this](std::string_view address) -> std::optional<std::string> {
            const CVQDocNode* node = doc.Tree().FindByAddress(address);
            if (!node || node->status != kStatusDownloaded)
                return std::nullopt;
            return std::string(node->LocalPath());
        };
        return check.Run(dir.Path() + "/save", &totals);
    }

    CVQTestHttpServer server;
    CVQTestHttpServer far;
    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc{options};
    CVQLinkConversion conversion;
};

std::string Describe(const std::vector<CVQOfflineProblem>& problems) {
    std::string text;
    for (const CVQOfflineProblem& p : problems)
        text += (p.kind == CVQOfflineProblem::MissingFile ? "missing " : "online ") + p.link +
                " in " + p.page + " -> " + p.target + "\n";
    return text;
}

struct CopyCase {
    int updLinks;
    int convertWhenDownloading;
};

class OfflineCopyCases : public OfflineCopyTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(OfflineCopyCases, BrowsesOffline) {
    doc.Settings().updLinks = GetParam().updLinks;
    doc.Settings().convertWhenDwnld = GetParam().convertWhenDownloading;
    doc.SettingsChanged();
    CVQOfflineCheck::Totals totals;
    const std::vector<CVQOfflineProblem> problems = CopyAndCheck(totals);
    EXPECT_EQ(totals.files, 9u); // 7 pages and 2 style sheets
    EXPECT_GE(totals.localLinks, 18u);
    if (GetParam().updLinks == 1) {
        // Only the picture of the other server stays online, and it is not stored.
        EXPECT_TRUE(problems.empty()) << Describe(problems);
        EXPECT_EQ(totals.onlineLinks, 1u);
        return;
    }
    // "Convert ALL links": the other server's picture, which the download left out, becomes a
    // local link too (the error page explains it); nothing else is missing or online.
    ASSERT_EQ(problems.size(), 1u) << Describe(problems);
    EXPECT_EQ(problems[0].kind, CVQOfflineProblem::MissingFile);
    EXPECT_NE(problems[0].link.find("far.png"), std::string::npos);
    EXPECT_EQ(totals.onlineLinks, 0u);
}

INSTANTIATE_TEST_SUITE_P(Settings, OfflineCopyCases,
                         ::testing::Values(CopyCase{1, 0}, CopyCase{1, 1}, CopyCase{2, 0},
                                           CopyCase{2, 1}));

TEST_F(OfflineCopyTest, TheCheckerFindsWhatIsBroken) {
    // Without conversion the copy still points to the server for the files it holds.
    doc.Settings().updLinks = 0;
    CVQOfflineCheck::Totals totals;
    const std::vector<CVQOfflineProblem> problems = CopyAndCheck(totals);
    std::size_t online = 0, missing = 0;
    for (const CVQOfflineProblem& p : problems)
        ++(p.kind == CVQOfflineProblem::LeftOnline ? online : missing);
    EXPECT_GE(online, 2u) << Describe(problems);  // the absolute link and the BASE page
    EXPECT_GE(missing, 3u) << Describe(problems); // "docs/", "/site/...", "a%20b.html"
}

} // namespace
