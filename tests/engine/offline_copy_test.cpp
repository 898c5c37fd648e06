// A small site copied from a loopback server by the engine and converted, then browsed offline.
#include "desktop/engine/conversion.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/offline_check.h"

#include <gtest/gtest.h>

namespace {

// The site is copied by the engine with the program's conversion installed, as the front ends run
// it, then walked as a browser would read it.
class OfflineCopyTest : public EngineTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        ASSERT_TRUE(far.Start());
        const std::string self = m_server.Url("/site/");
        const std::string elsewhere = "http://localhost:" + std::to_string(far.Port());
        const auto page = [this](const std::string& path, const std::string& body) {
            Serve(path, "<html><body>" + body + "</body></html>");
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
                 "<img src=\"img/logo.png\"> <a href=\"" +
                 elsewhere + "/far.html\">Far</a>");
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
        Serve("/site/css/site.css",
              "@import \"print.css\";\nbody { background: url(../img/bg.png) }\n", "text/css");
        Serve("/site/css/print.css", "p { color: black }\n", "text/css");
        Serve("/site/js/menu.js", "function go() { location = \"about.html\"; }\n",
              "application/javascript");
        Serve("/site/img/logo.png", "PNG", "image/png");
        Serve("/site/img/bg.png", "PNG", "image/png");
        far.Content("/far.html", "<html><body>far</body></html>", "text/html");

        m_doc.Settings().startUrl = {m_server.Url("/site/index.html")};
        m_doc.SettingsChanged();
        m_conversion.Install(*m_engine);
    }

    // Copies the site and walks the copy; LeftOnline problems count only for stored files.
    std::vector<CVQOfflineProblem> CopyAndCheck(CVQOfflineCheck::Totals& totals) {
        Run();
        CVQOfflineCheck check;
        check.storedFileOf = [this](std::string_view address) -> std::optional<std::string> {
            const CVQDocNode* node = m_doc.Tree().FindByAddress(address);
            if (!node || node->status != kStatusDownloaded)
                return std::nullopt;
            return std::string(node->LocalPath());
        };
        return check.Run(m_doc.SaveDirInUse(), &totals);
    }

    CVQTestHttpServer far;
    CVQConversion m_conversion{m_doc};
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
    m_doc.Settings().updLinks = GetParam().updLinks;
    m_doc.Settings().convertWhenDwnld = GetParam().convertWhenDownloading;
    m_doc.SettingsChanged();
    CVQOfflineCheck::Totals totals;
    const std::vector<CVQOfflineProblem> problems = CopyAndCheck(totals);
    EXPECT_EQ(totals.files, 9u); // 7 pages and 2 style sheets
    EXPECT_GE(totals.localLinks, 18u);
    if (GetParam().updLinks == 1) {
        // Only the page of the other server stays online, and it is not stored.
        EXPECT_TRUE(problems.empty()) << Describe(problems);
        EXPECT_EQ(totals.onlineLinks, 1u);
        return;
    }
    // "Convert ALL links": the other server's page, which the download left out, becomes a
    // local link too (the error page explains it); nothing else is missing or online.
    ASSERT_EQ(problems.size(), 1u) << Describe(problems);
    EXPECT_EQ(problems[0].kind, CVQOfflineProblem::MissingFile);
    EXPECT_NE(problems[0].link.find("far.html"), std::string::npos);
    EXPECT_EQ(totals.onlineLinks, 0u);
}

INSTANTIATE_TEST_SUITE_P(Settings, OfflineCopyCases,
                         ::testing::Values(CopyCase{1, 0}, CopyCase{1, 1}, CopyCase{2, 0},
                                           CopyCase{2, 1}),
                         [](const ::testing::TestParamInfo<CopyCase>& info) {
                             return std::string(info.param.updLinks == 1 ? "Downloaded" : "All") +
                                    (info.param.convertWhenDownloading ? "WhileDownloading"
                                                                       : "AfterDownload");
                         });

TEST_F(OfflineCopyTest, TheCheckerFindsWhatIsBroken) {
    // Without conversion the copy still points to the server for the files it holds.
    m_doc.Settings().updLinks = 0;
    CVQOfflineCheck::Totals totals;
    const std::vector<CVQOfflineProblem> problems = CopyAndCheck(totals);
    std::size_t online = 0, missing = 0;
    for (const CVQOfflineProblem& p : problems)
        ++(p.kind == CVQOfflineProblem::LeftOnline ? online : missing);
    EXPECT_GE(online, 2u) << Describe(problems);  // the absolute link and the BASE page
    EXPECT_GE(missing, 3u) << Describe(problems); // "docs/", "/site/...", "a%20b.html"
}

} // namespace
