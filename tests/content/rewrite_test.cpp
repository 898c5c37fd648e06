#include "desktop/content/page_edits.h"
#include "desktop/content/parser.h"
#include "desktop/content/print_file.h"
#include "desktop/project/doc.h"
#include "desktop/project/link_converter.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using vq::test::ReadFile;
using vq::test::WriteFile;

namespace {

// Answers from a table of link texts, and remembers what it was asked.
class CVQTableConverter : public CVQLinkConverter {
public:
    struct Asked {
        std::string link;
        std::string base;
        std::string pagePath;
        bool isHtml;
        bool requireExisting;
        bool absolute;
    };

    std::optional<std::string> ConvertedLink(CVQDoc&, const CVQLinkToConvert& l) override {
        asked.push_back({std::string(l.link), std::string(l.pageDirUrl), std::string(l.pagePath),
                         l.isHtml, l.requireExisting, l.absolute});
        const auto it = table.find(std::string(l.link));
        if (it == table.end())
            return std::nullopt;
        if (l.requireExisting && !existing.contains(it->first))
            return std::nullopt;
        return l.absolute ? "file:///abs/" + it->second : it->second;
    }

    std::map<std::string, std::string> table;
    std::set<std::string> existing; // with requireExisting only these are converted
    std::vector<Asked> asked;
};

class RewriteTest : public ::testing::Test {
protected:
    static constexpr const char* kAddress = "http://o.com/site/sub/page.htm";

    RewriteTest() : doc(options) {
        doc.Settings().projectDir = dir.Path() + "/save/";
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetLinkConverter(&converter);
        root = doc.Tree().CreateRoot("test");
        page = AddNode(kAddress, "sub/page.htm", vq::kGroupHtml);
    }

    CVQDocNode* AddNode(const std::string& address, const std::string& name, int group) {
        CVQDocNode* node = doc.Tree().AddPage(root);
        doc.Tree().SetAddress(node, address);
        doc.Tree().SetLocalPath(node, dir.File("save/" + name));
        node->group = static_cast<std::uint16_t>(group);
        node->status = kStatusDownloaded;
        return node;
    }

    std::string Store(CVQDocNode* node, std::string_view text) {
        const std::string path(node->LocalPath());
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, text);
        return path;
    }

    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc;
    CVQTableConverter converter;
    CVQParser parser;
    CVQDocNode* root = nullptr;
    CVQDocNode* page = nullptr;
};

struct stat StatOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status;
}

void SetModificationTime(const std::string& path, std::time_t when) {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Everything of the page that is not a converted link stays as it was: layout, both kinds of
// line ends, comments, text that looks like a link, attributes that are not links, and the
// links that are not converted.
TEST_F(RewriteTest, OnlyConvertedLinksChangeByteForByte) {
    converter.table = {{"css/site.css", "../css/site.css"}, {"img/a.gif", "../img/a.gif"},
                       {"next.htm", "../next.htm"},         {"img/b.gif", "../img/b.gif"},
                       {"img/bg.gif", "../img/bg.gif"},     {"img/A.GIF", "../img/A%20B.GIF"},
                       {"img/c.gif", "../img/c.gif"},       {"img/d.gif", "../img/d.gif"},
                       {"old.htm", "../old.htm"},           {"same.htm", "SAME.htm"}};
    const std::string original =
        "<!DOCTYPE html>\r\n"
        "<HTML><head><title>Odd  page</title>\r\n"
        "<!-- a comment with <a href=\"old.htm\"> inside -->\n"
        "<link rel=stylesheet href='css/site.css'  >\r\n"
        "<script type=\"text/javascript\">\n"
        "  var img = \"img/a.gif\";  // \"comment\"\r\n"
        "  document.write(\"<a href=\\\"next.htm\\\">next.htm</a>\");\n"
        "</script>\n"
        "</head>\r\n"
        "<BODY   BACKGROUND = \"img/bg.gif\"\n"
        "      onload=\"preload('img/b.gif')\">\r\n"
        "The text next.htm stays; so does img/a.gif.\n"
        "<a\thref=next.htm\r\n"
        "   title=\"next.htm is next\">Next</a>\n"
        "<img src=\"img/a.gif\" alt=\"img/a.gif\"><IMG SRC=img/A.GIF>\n"
        "<a href=\"mailto:x@y.z\">mail</a> <a href=\"#top\">top</a> <a href=\"same.htm\">s</a>\n"
        "<table><tr><td background=\"img/c.gif\">cell</td></tr></table>\r\n"
        "<span style=\"background: url( img/d.gif )\">x</span>\n"
        "</BODY></HTML>   no line end at the end";
    const std::string expected =
        "<!DOCTYPE html>\r\n"
        "<HTML><head><title>Odd  page</title>\r\n"
        "<!-- a comment with <a href=\"old.htm\"> inside -->\n"
        "<link rel=stylesheet href='../css/site.css'  >\r\n"
        "<script type=\"text/javascript\">\n"
        "  var img = \"../img/a.gif\";  // \"comment\"\r\n"
        "  document.write(\"<a href=\\\"../next.htm\\\">next.htm</a>\");\n"
        "</script>\n"
        "</head>\r\n"
        "<BODY   BACKGROUND = \"../img/bg.gif\"\n"
        "      onload=\"preload('../img/b.gif')\">\r\n"
        "The text next.htm stays; so does img/a.gif.\n"
        "<a\thref=../next.htm\r\n"
        "   title=\"next.htm is next\">Next</a>\n"
        "<img src=\"../img/a.gif\" alt=\"img/a.gif\"><IMG SRC=../img/A%20B.GIF>\n"
        "<a href=\"mailto:x@y.z\">mail</a> <a href=\"#top\">top</a> <a href=\"same.htm\">s</a>\n"
        "<table><tr><td background=\"../img/c.gif\">cell</td></tr></table>\r\n"
        "<span style=\"background: url( ../img/d.gif )\">x</span>\n"
        "</BODY></HTML>   no line end at the end";
    const std::string path = Store(page, original);
    ASSERT_TRUE(parser.RewritePage(page, doc));
    EXPECT_EQ(ReadFile(path), expected);
    // A comment is not scanned; a mail link is not followed; pictures get is-HTML off.
    for (const auto& asked : converter.asked) {
        EXPECT_NE(asked.link, "old.htm");
        EXPECT_NE(asked.link, "mailto:x@y.z");
        EXPECT_EQ(asked.base, "http://o.com/site/sub/");
        if (asked.link == "img/A.GIF" || asked.link == "css/site.css") {
            EXPECT_EQ(asked.isHtml, asked.link == "css/site.css");
        }
        EXPECT_FALSE(asked.requireExisting);
    }
}

TEST_F(RewriteTest, StandsAsValueOnlyWhereTheTagHoldsIt) {
    // The same text twice in one tag: as a value, and inside a longer word.
    converter.table = {{"a.htm", "../a.htm"}, {"http://o.com/x.htm", "../x.htm"}};
    const std::string path = Store(page, "<a href=\"a.htm\" onclick=\"go('xa.htm')\">\n"
                                         "<a href=\"go.php?to=http://o.com/x.htm\">"
                                         "<a href=\"xhttp://o.com/x.htm\">");
    ASSERT_TRUE(parser.RewritePage(page, doc));
    EXPECT_EQ(ReadFile(path), "<a href=\"../a.htm\" onclick=\"go('xa.htm')\">\n"
                              "<a href=\"go.php?to=http://o.com/x.htm\">"
                              "<a href=\"xhttp://o.com/x.htm\">");
}

TEST_F(RewriteTest, BaseBecomesCommentAndLinksFollowIt) {
    converter.table = {{"a.htm", "../other/a.htm"}};
    // A link that is not converted keeps pointing where the BASE sent it.
    const std::string path =
        Store(page, "<head><BASE HREF=\"http://o.com/other/\"></head><a href=\"a.htm\">a</a>"
                    "<a href=\"b.htm#x\">b</a><a href=\"http://p.com/\">p</a>");
    ASSERT_TRUE(parser.RewritePage(page, doc));
    EXPECT_EQ(ReadFile(path), "<head><!--BASE HREF=\"http://o.com/other/\"--></head>"
                              "<a href=\"../other/a.htm\">a</a>"
                              "<a href=\"http://o.com/other/b.htm#x\">b</a>"
                              "<a href=\"http://p.com/\">p</a>");
    ASSERT_EQ(converter.asked.size(), 3u);
    EXPECT_EQ(converter.asked[0].base, "http://o.com/other/");
    EXPECT_TRUE(doc.LinksNeedConversion());
    EXPECT_NE(page->selection & kSelNeedsConversion, 0);
}

TEST_F(RewriteTest, UnchangedFilesAreNotWrittenAndRewrittenOnesKeepTimesAndMode) {
    EXPECT_FALSE(parser.RewritePage(page, doc)); // nothing stored yet
    const std::string path = Store(page, "<a href=\"a.htm\">a</a> <a href=\"b.htm\">b</a>");
    ::chmod(path.c_str(), 0640);
    SetModificationTime(path, 1000000000);
    const struct stat before = StatOf(path);

    converter.table = {{"a.htm", "a.htm"}}; // already what it would become
    ASSERT_TRUE(parser.RewritePage(page, doc));
    EXPECT_EQ(StatOf(path).st_ino, before.st_ino); // not even replaced

    converter.table = {{"b.htm", "../b.htm"}};
    ASSERT_TRUE(parser.RewritePage(page, doc));
    const struct stat after = StatOf(path);
    EXPECT_EQ(ReadFile(path), "<a href=\"a.htm\">a</a> <a href=\"../b.htm\">b</a>");
    EXPECT_EQ(after.st_mtime, 1000000000);
    EXPECT_EQ(after.st_mode & 0777, 0640u);
    // Nothing is left beside the page.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(PageEdits, AWriteErrorIsReported) {
    CVQPageEdits edits;
    edits.Replace(2, 1, "x");
    std::FILE* source = std::tmpfile();
    std::fputs("abcdef", source);
    std::rewind(source);
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_FALSE(edits.Write(source, full));
    std::fclose(full);
    std::fclose(source);
}

TEST_F(RewriteTest, ZeroBytesStayAndLinksWrittenWithThemAreLeft) {
    using namespace std::string_literals;
    converter.table = {{"a.htm", "../a.htm"}, {"b.gif", "../b.gif"}};
    const std::string path = Store(page, "<a\0 href=\"a.htm\">\0\0<img src=\"b\0.\0g\0i\0f\">\0"s);
    ASSERT_TRUE(parser.RewritePage(page, doc));
    EXPECT_EQ(ReadFile(path), "<a\0 href=\"../a.htm\">\0\0<img src=\"b\0.\0g\0i\0f\">\0"s);
}

TEST_F(RewriteTest, StyleSheetsAndScripts) {
    CVQDocNode* css = AddNode("http://o.com/site/css/site.css", "css/site.css", vq::kGroupHtml);
    CVQDocNode* js = AddNode("http://o.com/site/js/menu.js", "js/menu.js", vq::kGroupJava);
    // A script's links start from the page that uses it.
    doc.Tree().DetachBranch(js, nullptr);
    js = doc.Tree().AddPage(page);
    doc.Tree().SetAddress(js, "http://o.com/site/js/menu.js");
    doc.Tree().SetLocalPath(js, dir.File("save/js/menu.js"));
    js->group = vq::kGroupJava;
    converter.table = {{"img/bg.gif", "../img/bg.gif"},
                       {"next.htm", "../next.htm"},
                       {"/", "../default.htm"},
                       {"./", "default.htm"}};

    // Without "{" or "function" in its first 1000 lines a file is not touched.
    std::string plain;
    for (int i = 0; i < 1000; ++i)
        plain += "url(img/bg.gif)\n";
    const std::string cssPath = Store(css, plain + "{ }\n");
    SetModificationTime(cssPath, 1000000000);
    ASSERT_TRUE(parser.RewriteTextFile(css, doc, false));
    EXPECT_EQ(ReadFile(cssPath), plain + "{ }\n");
    EXPECT_EQ(StatOf(cssPath).st_mtime, 1000000000);

    Store(css, "body { background: url('img/bg.gif') }\r\n/* url(img/bg.gif) */\n");
    SetModificationTime(cssPath, 1000000000);
    ASSERT_TRUE(parser.RewriteTextFile(css, doc, false));
    EXPECT_EQ(ReadFile(cssPath),
              "body { background: url('../img/bg.gif') }\r\n/* url(../img/bg.gif) */\n");
    EXPECT_EQ(StatOf(cssPath).st_mtime, 1000000000);
    EXPECT_EQ(converter.asked.back().base, "http://o.com/site/css/");
    EXPECT_EQ(converter.asked.back().pagePath, cssPath);

    // Path pieces of a script are code, not addresses.
    const std::string jsPath =
        Store(js, "function go() { location = \"next.htm\"; return a.split(\"/\") + \"./\"; }");
    ASSERT_TRUE(parser.RewriteTextFile(js, doc, true));
    EXPECT_EQ(ReadFile(jsPath),
              "function go() { location = \"../next.htm\"; return a.split(\"/\") + \"./\"; }");
    // They are read from the page that uses the script, and made relative to it.
    EXPECT_EQ(converter.asked.back().base, "http://o.com/site/sub/");
    EXPECT_EQ(converter.asked.back().pagePath, page->LocalPath());
}

TEST_F(RewriteTest, PrintCopy) {
    converter.table = {{"a.htm", "a.htm"}, {"img/x.gif", "img/x.gif"}};
    Store(page, "<p><a href=\"a.htm\">a</a><img src=\"img/x.gif\"></p>\n");
    const std::string target = dir.File("print.htm");
    ASSERT_TRUE(parser.MakePrintCopy(page, doc, target, true));
    EXPECT_EQ(ReadFile(target), "<STYLE>\nP.page { page-break-before: always }\n</STYLE>\n"
                                "<p><a href=\"file:///abs/a.htm\">a</a>"
                                "<img src=\"file:///abs/img/x.gif\"></p>\n");
    ASSERT_TRUE(parser.MakePrintCopy(page, doc, target, false));
    EXPECT_EQ(ReadFile(target).substr(0, 15), "<P CLASS=page>\n");
    doc.Settings().pageBreak = 0;
    ASSERT_TRUE(parser.MakePrintCopy(page, doc, target, true));
    EXPECT_EQ(ReadFile(target).substr(0, 3), "<p>");
    EXPECT_TRUE(converter.asked.back().absolute);

    // A page of frames cannot be printed, with or without a source.
    for (const char* frames : {"<frameset><frame src=\"a.htm\"></frameset>", "<iframe>"}) {
        Store(page, frames);
        EXPECT_FALSE(parser.MakePrintCopy(page, doc, target, true)) << frames;
    }
}

TEST_F(RewriteTest, PrintFileOfABranch) {
    converter.table = {{"b.htm", "b.htm"}};
    Store(page, "<p>first</p>");
    CVQDocNode* frames = AddNode("http://o.com/site/frames.htm", "frames.htm", vq::kGroupHtml);
    Store(frames, "<frameset><frame src=\"b.htm\"></frameset>");
    CVQDocNode* css = AddNode("http://o.com/site/s.css", "s.css", vq::kGroupHtml);
    Store(css, "p { }");
    CVQDocNode* failed = AddNode("http://o.com/site/gone.htm", "gone.htm", vq::kGroupHtml);
    failed->status = kStatusError;
    CVQDocNode* last = AddNode("http://o.com/site/last.htm", "last.htm", vq::kGroupHtml);
    Store(last, "<a href=\"b.htm\">b</a>");

    const std::string printFile = dir.File("print.htm");
    int asked = 0;
    ASSERT_TRUE(
        CVQPrintFile::Build(parser, doc, root, printFile, [&asked] { return ++asked < 5; }));
    EXPECT_EQ(
        ReadFile(printFile),
        "<HTML>\n<BODY onload=\"window.print();\">\n</BODY>\n<TABLE>\n"
        "\n<TR>\n<TD>\n\n<STYLE>\nP.page { page-break-before: always }\n</STYLE>\n<p>first</p>"
        "\n</TD>\n</TR>\n\n"
        "\n<TR>\n<TD>\n\n<P CLASS=page>\n<a href=\"file:///abs/b.htm\">b</a>\n</TD>\n</TR>\n\n"
        "</TABLE>\n</HTML>");
    EXPECT_EQ(asked, 2);

    // Asked to stop after the first page; without the print-on-open switch.
    doc.Settings().trPrExtBr = 0;
    std::filesystem::remove(printFile);
    ASSERT_TRUE(CVQPrintFile::Build(parser, doc, root, printFile, [] { return false; }));
    const std::string text = ReadFile(printFile);
    EXPECT_EQ(text.substr(0, 15), "<HTML>\n<TABLE>\n");
    EXPECT_EQ(text.find("last"), std::string::npos);
}

// Rewriting while the page is read during a download: only links to files already on disk,
// and the page is marked for the pass for the others.
TEST_F(RewriteTest, DuringTheDownload) {
    doc.Settings().convertWhenDwnld = 1;
    doc.Settings().updLinks = 1;
    doc.SetStartDirUrl("http://o.com/site/");
    page->status = kStatusDownloading;
    converter.table = {{"here.htm", "../here.htm"},
                       {"later.htm", "../later.htm"},
                       {"http://o.com/site/x.htm", "../x.htm"}};
    converter.existing = {"here.htm"};
    const std::string path = Store(page, "<base href=\"http://o.com/site/sub/\">\n"
                                         "<a href=\"here.htm\">h</a> <a href=\"later.htm\">l</a>");
    ASSERT_TRUE(parser.ParseFile(kAddress, path, page, 0, doc));
    EXPECT_EQ(ReadFile(path), "<!--base href=\"http://o.com/site/sub/\"-->\n"
                              "<a href=\"../here.htm\">h</a> <a href=\"later.htm\">l</a>");
    EXPECT_NE(page->selection & kSelNeedsConversion, 0);
    // A BASE elsewhere: what is left waits for the pass as the address it stands for.
    Store(page, "<base href=\"http://o.com/elsewhere/\"><a href=\"later.htm\">l</a>");
    ASSERT_TRUE(parser.ParseFile(kAddress, path, page, 0, doc));
    EXPECT_EQ(ReadFile(path), "<!--base href=\"http://o.com/elsewhere/\"-->"
                              "<a href=\"http://o.com/elsewhere/later.htm\">l</a>");

    // Without rewriting, a page is marked only for a link that conversion would change.
    doc.Settings().convertWhenDwnld = 0;
    const std::string other = Store(page, "<a href=\"same.htm\">s</a>");
    page->selection = kSelSelected;
    doc.SetLinksNeedConversion(false);
    converter.table = {{"same.htm", "same.htm"}};
    ASSERT_TRUE(parser.ParseFile(kAddress, other, page, 0, doc));
    EXPECT_EQ(page->selection, kSelSelected);
    EXPECT_FALSE(doc.LinksNeedConversion());
    Store(page, "<a href=\"http://o.com/site/x.htm\">x</a>");
    converter.table = {{"http://o.com/site/x.htm", "../x.htm"}};
    ASSERT_TRUE(parser.ParseFile(kAddress, other, page, 0, doc));
    EXPECT_EQ(page->selection, kSelSelected | kSelNeedsConversion); // its other bits stay
    EXPECT_TRUE(doc.LinksNeedConversion());
    EXPECT_EQ(ReadFile(other), "<a href=\"http://o.com/site/x.htm\">x</a>");
}

struct ReplaceCase {
    const char* tag;
    const char* oldText;
    const char* expected; // the tag after the replacement by "NEW"
};

TEST(ReplaceLink, WholeValuesOnly) {
    const ReplaceCase cases[] = {
        {"<a href=\"a.htm\">", "a.htm", "<a href=\"NEW\">"},
        {"<a href='a.htm'>", "a.htm", "<a href='NEW'>"},
        {"<a href=\"a.htm'>", "a.htm", "<a href=\"a.htm'>"}, // quotes that do not pair
        {"<a href=a.htm>", "a.htm", "<a href=NEW>"},
        {"<a href=a.htm title=x>", "a.htm", "<a href=NEW title=x>"},
        {"<a href=a.htm\r\n>", "a.htm", "<a href=NEW\r\n>"},
        {"<a href=a.htm\t>", "a.htm", "<a href=a.htm\t>"}, // a tab does not end a value here
        {"<a href=a.htmx>", "a.htm", "<a href=a.htmx>"},
        {"<a href=xa.htm>", "a.htm", "<a href=xa.htm>"},
        {"a.htm", "a.htm", "NEW"}, // the start and the end of the text
        {"<p>a.htm <b>", "a.htm", "<p>NEW <b>"},
        {"\ta.htm\"", "a.htm", "\tNEW\""},
        {"url(a.gif)", "a.gif", "url(NEW)"},
        {"url(a.gif ", "a.gif", "url(a.gif "},
        {"go(\\\"a.htm\\\")", "a.htm", "go(\\\"NEW\\\")"},
        {"go(\\'a.htm\\')", "a.htm", "go(\\'a.htm\\')"},
        {"x\"a.htm\\\"", "a.htm", "x\"a.htm\\\""}, // only one side escaped
        {"<a href=\"a.htm\" src=a.htm alt=\"xa.htm\">", "a.htm",
         "<a href=\"NEW\" src=NEW alt=\"xa.htm\">"},
        {"<a href=\"a.htm\">", "A.HTM", "<a href=\"a.htm\">"}, // letter case counts
        {"<a href=\"a.\nhtm\">", "a.htm", "<a href=\"NEW\">"}, // broken over two lines
        {"<a href=\"b.htm\"\n>", "a.htm", "<a href=\"b.htm\"\n>"},
    };
    for (const ReplaceCase& c : cases) {
        std::string tag = c.tag;
        const bool replaced = CVQParser::ReplaceLink(tag, c.oldText, "NEW", true);
        EXPECT_EQ(tag, c.expected) << c.tag;
        EXPECT_EQ(replaced, std::string(c.tag) != c.expected) << c.tag;
    }
    // The same text ignoring case changes nothing; without delimiting every occurrence goes.
    std::string tag = "<a href=\"a.htm\">";
    EXPECT_FALSE(CVQParser::ReplaceLink(tag, "a.htm", "A.HTM", true));
    tag = "<a href=xa.htm>";
    EXPECT_TRUE(CVQParser::ReplaceLink(tag, "a.htm", "NEW", false));
    EXPECT_EQ(tag, "<a href=xNEW>");
}

} // namespace
