#include "desktop/content/tag_table.h"
#include "tests/content/scan_support.h"

#include <gtest/gtest.h>

namespace {

using Links = std::vector<std::string>;

struct RowCase {
    const char* what;
    const char* html;
    Links links;
};

// One case per row and handler: what the page says and what the scan takes from it.
const RowCase kRowCases[] = {
    {"frame", R"h(<FRAME NAME=m SRC="main.htm">)h", {"main.htm"}},
    {"iframe", R"h(<iframe src='side.htm'></iframe>)h", {"side.htm"}},
    {"body", R"h(<body background="bg.gif" onload="preload('p.gif')">)h", {"bg.gif", "p.gif"}},
    {"anchor with values that look like links",
     R"h(<a href="a.htm" title="Next" rel="next.htm" data-x="7">)h",
     {"a.htm", "next.htm"}},
    {"anchor with a window-opening click",
     R"h(<A HREF="page.htm" ONCLICK="window.open('pop.htm','w')">)h",
     {"page.htm", "pop.htm", "pop.htm"}},
    {"anchor whose address is a call",
     R"h(<a href="javascript:openWin('win.htm')">)h",
     {"win.htm"}},
    {"image inside an anchor",
     R"h(<A HREF="x.htm" <IMG SRC="in.gif">)h",
     {"x.htm", "in.gif", "in.gif", "in.gif"}},
    {"image",
     R"h(<img lowsrc="low.gif" src="hi.gif" onmouseover="swap('over.gif')">)h",
     {"low.gif", "hi.gif", "over.gif"}},
    {"applet: archive wins, code base in front",
     R"h(<applet code="A.class" codebase="classes" archive="a.jar">)h"
     R"h(<param name=img value="img/p.gif"><param name=n value="12"></applet>)h",
     {"classes/a.jar", "img/p.gif"}},
    {"applet without archive",
     R"h(<APPLET CODE="Clock.class" CODEBASE="./"></APPLET>)h",
     {"Clock.class"}},
    {"background sound", R"h(<bgsound src="tune.mid" loop=2>)h", {"tune.mid"}},
    {"area", R"h(<area shape=rect href="region.htm">)h", {"region.htm"}},
    {"object with params, code base and embed",
     R"h(<object codebase="http://x.com/cab" code="M.class">)h"
     R"h(<param name="movie" value="m.swf"><embed src="e.swf"></object>)h",
     {"http://x.com/cab/M.class", "http://x.com/cab/m.swf", "e.swf"}},
    {"embed", R"h(<embed src="clip.swf" code="C.class">)h", {"clip.swf", "C.class"}},
    {"script literals: double, single, escaped",
     R"h(<script>var a = "s1.htm"; b = 'img/s2.gif'; document.write("<a href=\"s3.htm\">")</script>)h",
     {"s1.htm", "img/s2.gif", "s3.htm"}},
    {"script source without quotes", R"h(<script src=/js/app.js></script>)h", {"/js/app.js"}},
    {"script: value after '=' and concatenations",
     R"h(<script>go("frame.php?page=p2.htm"); u = "/" + x; v = "/";</script>)h",
     {"frame.php?page=p2.htm", "/"}},
    {"meta refresh", R"h(<meta http-equiv="refresh" content="0; URL=next.htm">)h", {"next.htm"}},
    {"input",
     R"h(<input type="image" src="btn.gif" onclick="go('x.htm')">)h",
     {"btn.gif", "x.htm", "btn.gif", "x.htm"}},
    {"select",
     R"h(<select onchange="go(this)"><option value="o1.htm">One<option value="two">Two</select>)h",
     {"o1.htm"}},
    {"comment", R"h(<!-- <a href="hidden.htm"> -->)h", {}},
    {"link", R"h(<link rel="stylesheet" href="site.css">)h", {"site.css"}},
    {"table", R"h(<table width=3 background="t.gif">)h", {"t.gif"}},
    {"table header",
     R"h(<th background="th.gif" abbr="more.htm">)h",
     {"th.gif", "th.gif", "more.htm"}},
    {"table cell",
     R"h(<td background=td.gif onclick="go('c.htm')">)h",
     {"td.gif", "td.gif", "c.htm", "c.htm"}},
    {"base", R"h(<base href="http://o.com/d/">)h", {"http://o.com/d/"}},
    {"style",
     R"h(<style>@import "i.css"; body { background: url( 'b.gif' ) }</style>)h",
     {"i.css", "b.gif", "b.gif"}},
    {"inline style", R"h(<span style="background:url(u.gif)">x</span>)h", {"u.gif"}},
    {"div events and inline style",
     R"h(<div onmouseover="swap('d.gif')" style="background:url(dv.gif)">)h",
     {"d.gif", "dv.gif"}},
    {"audio", R"h(<audio src="a.mp3">)h", {"a.mp3"}},
    {"video", R"h(<video src="v.mpg">)h", {"v.mpg"}},
};

TEST(PageScan, EachRowAndHandler) {
    for (const RowCase& c : kRowCases)
        EXPECT_EQ(PageLinks(c.html), c.links) << c.what << ": " << c.html;
}

TEST(PageScan, TitleIsTheFirstOnly) {
    const CVQPageScanResult result =
        ScanPage("<html><TITLE>Home &amp; more</TITLE><svg><title>Icon</title></svg>");
    EXPECT_EQ(result.sink.titles, std::vector<std::string>{"Home &amp; more"});
    EXPECT_TRUE(result.sink.links.empty());
}

TEST(PageScan, WholeWordRule) {
    const struct {
        const char* html;
        Links links;
    } cases[] = {
        {R"h(<ABBR title="x.htm">A</ABBR>)h", {}},
        {R"h(<TDX background="x.gif">)h", {}},
        {R"h(<TD background="x.gif">)h", {"x.gif", "x.gif"}},
        {"<A\thref=tab.htm>", {"tab.htm"}},
        {"<A\nhref=lf.htm>", {"lf.htm"}},
        {"<A\r\nhref=crlf.htm>", {"crlf.htm"}},
        {"<a>plain</a><AREA href=r.htm>", {"r.htm"}},
        {"<IMGX src=no.gif><IMG src=yes.gif>", {"yes.gif"}},
        {"<a href=end.htm", {}}, // an opening at the very end of the page
    };
    for (const auto& c : cases)
        EXPECT_EQ(PageLinks(c.html), c.links) << c.html;
}

TEST(PageScan, TagOverSeveralLinesIsOneTag) {
    const std::string page =
        "<p>intro</p>\n<A\nHREF=\n\"three.htm\"\n>three</A>\n<img src=after.gif>";
    const CVQPageScanResult result = ScanPage(page);
    ASSERT_EQ(result.sink.Texts(), (Links{"three.htm", "after.gif"}));
    // Offsets lead back to the text in the page, across the removed line feeds.
    for (const CVQRecordedLink& link : result.sink.links)
        EXPECT_EQ(page.substr(link.offset, link.length), link.raw);
}

TEST(PageScan, OffsetsLeadBackToThePage) {
    const std::string page = "<form action=\"go.cgi\"><!-- <input src=\"old.gif\"> -->\n"
                             "<input src=\"new.gif\"></form>\n<a href='a&amp;b.htm'>";
    const CVQPageScanResult result = ScanPage(page);
    bool sawNew = false;
    for (const CVQRecordedLink& link : result.sink.links) {
        if (link.raw == "new.gif")
            sawNew = true;
        EXPECT_EQ(page.substr(link.offset, link.length), link.raw) << link.raw;
        EXPECT_NE(link.raw, "old.gif"); // commented out
    }
    EXPECT_TRUE(sawNew);
    EXPECT_EQ(result.sink.links.back().text, "a&b.htm");
}

TEST(PageScan, UnclosedTagsDoNotHideLaterLinks) {
    const struct {
        const char* what;
        const char* html;
        Links links;
    } cases[] = {
        {"image left open before an anchor",
         "<IMG SRC=\"a.gif\"\n<A HREF=\"b.htm\">b</A>",
         {"a.gif", "b.htm"}},
        {"image never closed", "<IMG SRC=\"a.gif\"\nsee url(c.gif)", {"c.gif"}},
        {"script never closed", "<SCRIPT>var x;\n<a href=d.htm>d</a>", {"d.htm"}},
        {"comment never closed", "<!-- old\n<a href=e.htm>e</a>", {"e.htm"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PageLinks(c.html), c.links) << c.what;
}

TEST(PageScan, RestartsAreLimitedPerFile) {
    const auto page = [](int unclosed) {
        std::string html;
        for (int i = 0; i < unclosed; ++i)
            html += "<SCRIPT>\n";
        return html + "<a href=late.htm>";
    };
    CVQPageScanResult within = ScanPage(page(1000));
    EXPECT_EQ(within.restarts, 1000);
    EXPECT_EQ(within.sink.Texts(), Links{"late.htm"});
    EXPECT_TRUE(ScanPage(page(1001)).sink.links.empty());
}

TEST(PageScan, ClosingMarkerBrokenOverTwoLines) {
    const char* page =
        "<script>s=\"x.js\"</script  \n>\n<a href=after.htm>\n<script>t=\"y.js\"</script>";
    EXPECT_EQ(PageLinks(page), (Links{"x.js", "after.htm", "y.js"}));
    // Only blanks may follow the broken marker on its line.
    EXPECT_EQ(PageLinks("<script>s=\"x.js\"</script x\n><a href=lost.htm>\n</script>"),
              Links{"x.js"});
}

TEST(PageScan, CommentOpenedInsideATag) {
    // Without a comment end anywhere, the tag's ">" inside the comment does not count.
    EXPECT_EQ(PageLinks("<A HREF=a.htm <!-- > <A HREF=b.htm>"), Links{"b.htm"});
    EXPECT_EQ(PageLinks("<A HREF=a.htm <!-- > --> <A HREF=b.htm>"), (Links{"a.htm", "b.htm"}));
}

TEST(PageScan, TagsInsideFormsAndCells) {
    const char* page =
        "<FORM action=f.cgi>\n<TABLE><TR><TD background=cell.gif><A HREF=deep.htm>x</A>"
        "<SCRIPT>u='s.js'</SCRIPT></TD></TR></TABLE>\n</FORM><a href=out.htm>";
    const CVQPageScanResult result = ScanPage(page);
    EXPECT_EQ(result.sink.Texts(),
              (Links{"f.cgi", "f.cgi", "cell.gif", "cell.gif", "deep.htm", "s.js", "out.htm"}));
    EXPECT_EQ(result.sink.links[4].row, kRowAnchor);
}

TEST(PageScan, StopRequestEndsTheScan) {
    std::string page;
    for (int i = 0; i < 200; ++i)
        page += "<a href=p" + std::to_string(i) + ".htm>\n";
    EXPECT_EQ(PageLinks(page).size(), 200u);
    // Polls come every 50 lines and every 50 tags; the first "no" ends the scan there.
    CVQRecordingSink sink;
    sink.stopAfterPolls = 1;
    ScanPageInto(page, sink);
    EXPECT_GE(sink.links.size(), 50u);
    EXPECT_LT(sink.links.size(), 200u);
}

} // namespace
