#include "desktop/content/parser.h"
#include "desktop/content/tag_table.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "desktop/project/link_rules.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace {

class CVQRecordingObserver : public CVQDocObserver {
public:
    void ShowMessage(const std::string&, VQIcon) override {}
    VQAnswer Ask(const std::string&, bool, VQAnswer preselected) override { return preselected; }
    void TreeChanged(const CVQDocNode* node, VQTreeChange change) override {
        const std::lock_guard lock(m_lock);
        changes.emplace_back(node, change);
    }
    void WorkerRow(int worker, const CVQWorkerRow& row) override {
        const std::lock_guard lock(m_lock);
        rows.emplace_back(worker, row.status);
    }

    std::vector<std::pair<const CVQDocNode*, VQTreeChange>> changes;
    std::vector<std::pair<int, std::string>> rows;

private:
    std::mutex m_lock;
};

class CVQYesRules : public CVQLinkRules {
public:
    bool AcceptFoundLink(CVQDoc&, CVQDocNode&) override { return true; }
    bool WouldBeConverted(const CVQDoc&, const CVQDocNode&) override { return true; }
};

class ParserTest : public ::testing::Test {
protected:
    static constexpr const char* kStart = "http://o.com/site/index.htm";

    ParserTest() : doc(options) {
        doc.Settings().projectDir = dir.Path() + "/save/";
        doc.Settings().startUrl = {kStart};
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetStartDirUrl("http://o.com/site/");
        doc.SetObserver(&observer);
        root = doc.Tree().CreateRoot("test");
        start = doc.Tree().AddPage(root);
        doc.Tree().SetAddress(start, kStart);
        start->group = vq::kGroupHtml;
        start->level = 0;
        start->dirPosition = 0;
        doc.Tree().SetTitle(start, "index.htm");
        start->status = kStatusDownloading; // the worker holds the page it reads
    }

    std::string Store(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Parses text as the start page.
    bool ParsePage(const std::string& text) {
        return parser.ParseFile(kStart, Store("index.htm", text), start, 3, doc);
    }

    std::vector<CVQDocNode*> Children(CVQDocNode* node) const {
        std::vector<CVQDocNode*> list;
        for (CVQDocNode* child = node->firstChild.load(); child; child = child->next.load())
            list.push_back(child);
        return list;
    }

    std::vector<std::string> ChildAddresses(CVQDocNode* node) const {
        std::vector<std::string> list;
        for (CVQDocNode* child : Children(node))
            list.emplace_back(child->Address());
        return list;
    }

    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc;
    CVQRecordingObserver observer;
    CVQParser parser;
    CVQDocNode* root = nullptr;
    CVQDocNode* start = nullptr;
};

using Addresses = std::vector<std::string>;

TEST_F(ParserTest, PageLinksBecomeNodes) {
    ASSERT_TRUE(ParsePage(R"h(<html><head><title>Home</title>
<link rel=stylesheet href="css/site.css"></head>
<body><a href="about.htm">About</a> <a href="mailto:me@o.com">Mail</a>
<a href="javascript:void(0)">x</a> <a href="about.htm#team">Team</a> <a href="#top">Top</a>
<img src="img/logo.gif"> <a href="http://other.com/x/page.htm">Elsewhere</a>
<frame src="menu.htm"></body></html>)h"));
    const Addresses expected = {"http://o.com/site/css/site.css", "http://o.com/site/about.htm",
                                "http://o.com/site/img/logo.gif", "http://other.com/x/page.htm",
                                "http://o.com/site/menu.htm"};
    ASSERT_EQ(ChildAddresses(start), expected);
    const std::vector<CVQDocNode*> nodes = Children(start);
    const struct {
        int kind;
        int group;
        int level;
        int dirPosition;
        const char* title;
    } fields[] = {
        {kNodePage, vq::kGroupHtml, 0, 1, "css/site.css"},   // a style sheet is on its page's level
        {kNodePage, vq::kGroupHtml, 1, 0, "about.htm#team"}, // the last name it was linked by
        {kNodeFile, vq::kGroupImage, 1, 1, "img/logo.gif"},
        {kNodePage, vq::kGroupHtml, 0, -2 - 1073741823, "http://other.com/x/page.htm"},
        {kNodePage, vq::kGroupHtml, 0, 0, "menu.htm"}, // a frame too
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(nodes[i]->Address());
        EXPECT_EQ(nodes[i]->kind, fields[i].kind);
        EXPECT_EQ(nodes[i]->group, fields[i].group);
        EXPECT_EQ(nodes[i]->level, fields[i].level);
        EXPECT_EQ(nodes[i]->dirPosition, fields[i].dirPosition);
        EXPECT_EQ(nodes[i]->Title(), fields[i].title);
        EXPECT_EQ(nodes[i]->LocalPath(), doc.MapToLocalPath(nodes[i]->Address(), true, true).path);
    }
    EXPECT_EQ(start->Title(), "Home (index.htm)");
    // The worker's row, and the tree told of each node and of the page.
    EXPECT_EQ(observer.rows, (std::vector<std::pair<int, std::string>>{{3, "Analyzing..."}}));
    EXPECT_EQ(observer.changes.size(), nodes.size() + 1);
    EXPECT_EQ(observer.changes.back().first, start);
    EXPECT_EQ(observer.changes.back().second, VQTreeChange::Changed);
}

TEST_F(ParserTest, KnownAddressesMakeNoSecondNode) {
    ASSERT_TRUE(ParsePage("<a href=a.htm>1</a><a href=A.htm>2</a><a href=./a.htm>3</a>"
                          "<a href=index.htm>self</a>"));
    EXPECT_EQ(ChildAddresses(start), Addresses{"http://o.com/site/a.htm"});
    // Read again, the page adds nothing; a node still to be fetched takes the new name.
    CVQDocNode* a = Children(start)[0];
    ASSERT_TRUE(ParsePage("<a href='./a.htm'>again</a>"));
    EXPECT_EQ(Children(start).size(), 1u);
    EXPECT_EQ(a->Title(), "./a.htm");
    a->status = kStatusDownloaded;
    ASSERT_TRUE(ParsePage("<a href='a.htm'>again</a>"));
    EXPECT_EQ(a->Title(), "./a.htm");
}

TEST_F(ParserTest, TitleKeepsTheFileNameOverRuns) {
    ASSERT_TRUE(ParsePage("<title>First</title>"));
    EXPECT_EQ(start->Title(), "First (index.htm)");
    ASSERT_TRUE(ParsePage("<title>  Second\n  &amp; more </title>"));
    EXPECT_EQ(start->Title(), "Second & more (index.htm)");
}

TEST_F(ParserTest, BaseChangesWhereLinksStart) {
    ASSERT_TRUE(ParsePage("<a href=before.htm><base href=\"http://cdn.o.com/lib/x.htm\">"
                          "<a href=after.htm><base href='../v2/'><a href=last.htm>"));
    EXPECT_EQ(ChildAddresses(start),
              (Addresses{"http://o.com/site/before.htm", "http://cdn.o.com/lib/after.htm",
                         "http://cdn.o.com/v2/last.htm"}));
    EXPECT_EQ(start->selection.load(), kSelNeedsConversion);
    EXPECT_TRUE(doc.LinksNeedConversion());
}

TEST_F(ParserTest, RootRelativeLinksMarkThePageWhenTheyWouldBeConverted) {
    ASSERT_TRUE(ParsePage("<a href=/top.htm>"));
    EXPECT_EQ(start->selection.load(), kSelNone); // no conversion rule installed: "no"
    CVQYesRules rules;
    doc.SetLinkRules(&rules);
    ASSERT_TRUE(ParsePage("<a href=plain.htm>"));
    EXPECT_EQ(start->selection.load(), kSelNone);
    ASSERT_TRUE(ParsePage("<a href=/top.htm>"));
    EXPECT_EQ(start->selection.load(), kSelNeedsConversion);
    EXPECT_TRUE(doc.LinksNeedConversion());
    doc.SetLinkRules(nullptr);
}

TEST_F(ParserTest, ServerIsAskedWithoutLocksWhenTheExtensionSaysNothing) {
    int asked = 0;
    parser.SetContentProbe([&](const std::string& address, CVQDoc& d, int& contentClass) {
        ++asked;
        // Nothing of the project is locked while the server answers.
        EXPECT_TRUE(d.LinkLock().try_lock());
        d.LinkLock().unlock();
        EXPECT_TRUE(d.Tree().Lock().try_lock());
        d.Tree().Lock().unlock();
        if (address.ends_with("feed.json")) {
            contentClass = 1;
            return static_cast<int>(vq::kGroupHtml);
        }
        return 0; // the request failed
    });
    ASSERT_TRUE(ParsePage("<a href=feed.json>1</a><img src=pic.gif><a href=FEED.json>2</a>"
                          "<a href=blob.bin>3</a>"));
    EXPECT_EQ(asked, 2); // once per address
    const std::vector<CVQDocNode*> nodes = Children(start);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->Address(), "http://o.com/site/feed.json");
    EXPECT_EQ(nodes[0]->kind, kNodePage);
    EXPECT_EQ(nodes[0]->group, vq::kGroupHtml);
    EXPECT_EQ(nodes[0]->contentClass, 1);
    EXPECT_EQ(nodes[1]->group, vq::kGroupImage);
    EXPECT_EQ(nodes[2]->group, 0);
    EXPECT_EQ(nodes[2]->kind, kNodeFile);
}

TEST_F(ParserTest, TheWorkersClientAsksTheServer) {
    CVQTestHttpServer server;
    server.Content("/site/news.feed", "<rss/>", "application/rss+xml");
    server.Content("/site/page.view", "<html></html>", "text/html");
    ASSERT_TRUE(server.Start());
    const std::string page = server.Url("/site/index.htm");
    doc.SetStartDirUrl(server.Url("/site/"));
    CVQDocNode* node = doc.Tree().AddPage(root);
    doc.Tree().SetAddress(node, page);
    node->group = vq::kGroupHtml;
    node->level = 0;
    node->dirPosition = 0;
    CVQInet client;
    parser.UseClient(client);
    ASSERT_TRUE(parser.ParseFile(page,
                                 Store("index.htm", "<a href=news.feed><a href=page.view>"
                                                    "<a href=gone.view>"),
                                 node, 0, doc));
    const std::vector<CVQDocNode*> nodes = Children(node);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->group, vq::kGroupHtml);
    EXPECT_EQ(nodes[0]->contentClass, 1); // RSS
    EXPECT_EQ(nodes[1]->group, vq::kGroupHtml);
    EXPECT_EQ(nodes[1]->kind, kNodePage);
    EXPECT_EQ(nodes[2]->group, 0); // no answer that names a type: a file node
    EXPECT_EQ(nodes[2]->kind, kNodeFile);
    EXPECT_EQ(server.CountRequests("/site/news.feed"), 1u);
}

TEST_F(ParserTest, NodeAddedByAnotherWorkerDuringTheProbeIsUsed) {
    CVQDocNode* other = nullptr;
    parser.SetContentProbe([&](const std::string& address, CVQDoc& d, int&) {
        // Another worker finds the same address meanwhile and adds it under its own page.
        const std::lock_guard links(d.LinkLock());
        other = d.Tree().AddFile(root);
        d.Tree().SetAddress(other, address);
        return 0;
    });
    ASSERT_TRUE(ParsePage("<a href=data.json>"));
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(Children(start).empty());
    EXPECT_EQ(doc.Tree().FindByAddress("http://o.com/site/data.json"), other);
}

TEST_F(ParserTest, ReadersByGroupAndExtension) {
    // A style sheet's links start from its own directory.
    CVQDocNode* css = doc.Tree().AddPage(start);
    doc.Tree().SetAddress(css, "http://o.com/site/css/site.css");
    css->group = vq::kGroupHtml;
    css->level = 1;
    css->dirPosition = 1;
    ASSERT_TRUE(parser.ParseFile(css->Address(), Store("site.css", "b{background:url(bg.gif)}"),
                                 css, 0, doc));
    EXPECT_EQ(ChildAddresses(css), Addresses{"http://o.com/site/css/bg.gif"});

    // A script's from the page that uses it.
    CVQDocNode* js = doc.Tree().AddPage(start);
    doc.Tree().SetAddress(js, "http://o.com/site/js/app.js");
    js->group = vq::kGroupJava;
    js->level = 1;
    ASSERT_TRUE(
        parser.ParseFile(js->Address(), Store("app.js", "img.src = 'pics/p.gif';"), js, 0, doc));
    EXPECT_EQ(ChildAddresses(js), Addresses{"http://o.com/site/pics/p.gif"});

    // A class file's too.
    CVQDocNode* cls = doc.Tree().AddPage(start);
    doc.Tree().SetAddress(cls, "http://o.com/site/applets/A.class");
    cls->group = vq::kGroupJava;
    ASSERT_TRUE(parser.ParseFile(
        cls->Address(), Store("A.class", std::string("\xCA\xFE\x01\x00\x07help.htm\x01", 13)), cls,
        0, doc));
    EXPECT_EQ(ChildAddresses(cls), Addresses{"http://o.com/site/help.htm"});

    // Special content of the HTML group, and Flash movies, have no reader here.
    CVQDocNode* rss = doc.Tree().AddPage(start);
    rss->group = vq::kGroupHtml;
    rss->contentClass = 1;
    EXPECT_TRUE(parser.ParseFile("http://o.com/site/feed.rss", Store("feed.rss", "<a href=x.htm>"),
                                 rss, 0, doc));
    EXPECT_TRUE(Children(rss).empty());

    // A file that cannot be read.
    EXPECT_FALSE(parser.ParseFile(kStart, dir.File("missing.htm"), start, 0, doc));
}

TEST_F(ParserTest, LoginFormsAreFilledFromTheProject) {
    doc.Settings().htmlLogin = 1;
    doc.Settings().userId = "joe";
    doc.Settings().password = "secret";
    ASSERT_TRUE(ParsePage(R"h(<form method=post action="login.php"><input name=user>
<input type=password name=pass></form>)h"));
    EXPECT_EQ(ChildAddresses(start),
              Addresses{"http://o.com/site/login.php?vqlogin.user=joe&pass=secret"});
}

TEST_F(ParserTest, StopRequestEndsTheScan) {
    std::string page;
    for (int i = 0; i < 500; ++i)
        page += "<a href=p" + std::to_string(i) + ".htm>\n";
    doc.Run().stopRequest = true;
    ASSERT_TRUE(ParsePage(page));
    EXPECT_LT(Children(start).size(), 100u);
}

TEST_F(ParserTest, TemplateAddressesAreProcessedLikeLinks) {
    std::string address = "http://o.com/site/page{:1-3}.htm";
    std::vector<std::string> list;
    ASSERT_TRUE(CVQParser::ExpandAddressTemplate(address, list));
    CVQLinkList links;
    for (const std::string& a : list)
        links.push_back({a, CVQFoundLink::kComposed, 0});
    std::string base = "http://o.com/site/";
    parser.ProcessLinks(links, base, kRowNone, root, doc);
    EXPECT_EQ(ChildAddresses(root),
              (Addresses{kStart, "http://o.com/site/page1.htm", "http://o.com/site/page2.htm",
                         "http://o.com/site/page3.htm"}));
    EXPECT_EQ(Children(root)[1]->level, 0);
}

TEST_F(ParserTest, WorkersNeverAddOneAddressTwice) {
    // Every worker reads its own page; the pages share their links, half of which only the
    // server can classify.
    std::string page;
    for (int i = 0; i < 150; ++i)
        page += "<a href=\"shared" + std::to_string(i) + (i % 2 ? ".htm" : ".data") + "\">\n";
    constexpr int kWorkers = 4;
    std::vector<CVQDocNode*> pages;
    std::vector<std::string> paths;
    for (int w = 0; w < kWorkers; ++w) {
        const std::string address = "http://o.com/site/p" + std::to_string(w) + ".htm";
        CVQDocNode* node = doc.Tree().AddPage(root);
        doc.Tree().SetAddress(node, address);
        node->group = vq::kGroupHtml;
        node->level = 1;
        node->dirPosition = 0;
        node->status = kStatusDownloading;
        pages.push_back(node);
        paths.push_back(Store("p" + std::to_string(w) + ".htm", page));
    }
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            CVQParser own;
            own.SetContentProbe([](const std::string&, CVQDoc&, int&) {
                std::this_thread::yield(); // a server round trip
                return static_cast<int>(vq::kGroupDocument);
            });
            own.ParseFile(std::string(pages[w]->Address()), paths[w], pages[w], w, doc);
        });
    }
    for (std::thread& t : workers)
        t.join();
    std::map<std::string, int> seen;
    doc.Tree().WalkPreOrder(root, [&](CVQDocNode& node) {
        if (!node.Address().empty())
            ++seen[std::string(node.Address())];
        return true;
    });
    EXPECT_EQ(seen.size(), 1u + kWorkers + 150u);
    for (const auto& [address, count] : seen)
        EXPECT_EQ(count, 1) << address;
}

} // namespace
