#include "desktop/content/attribute_reader.h"
#include "desktop/content/link_test.h"
#include "desktop/content/string_scanner.h"
#include "desktop/project/prj_settings.h"
#include "tests/content/scan_support.h"

#include <gtest/gtest.h>

namespace {

using Links = std::vector<std::string>;

Links Texts(const CVQLinkList& links) {
    Links texts;
    for (const CVQFoundLink& link : links)
        texts.push_back(link.text);
    return texts;
}

std::string AttributeOf(std::string_view tag, std::string_view name) {
    const CVQSpan value = CVQAttributeReader::Attribute(tag, name);
    return value.Found() ? std::string(value.In(tag)) : std::string("<none>");
}

TEST(AttributeReading, ValuesByName) {
    const struct {
        const char* tag;
        const char* name;
        const char* value;
    } cases[] = {
        {R"h(<a href="x.htm">)h", "HREF", "x.htm"},
        {"<a HREF = 'y.htm' >", "href", "y.htm"},
        {"<a href=\n  z.htm>", "href", "z.htm"},
        {"<a href=bare.htm title=t>", "href", "bare.htm"},
        {"<a href=bare.htm>", "href", "bare.htm"},
        {"<a href=&quot;ent.htm&quot;>", "href", "ent.htm"},
        {"<a href=script.htm&quot;>", "href", "script.htm"},
        {R"h(<a href="unclosed.htm>)h", "href", ""},
        {R"h(<a href="javascript:open('call.htm','w')">)h", "href", "call.htm"},
        {R"h(<a href="page.php?f=(a)">)h", "href", "page.php?f=(a)"},
        {R"h(<img lowsrc="l.gif" src="s.gif">)h", "SRC", "s.gif"},
        {R"h(<img lowsrc="l.gif">)h", "SRC", "l.gif"},
        {R"h(<img data-src="lazy.gif">)h", "SRC", "lazy.gif"},
        {R"h(<a title="href" class=x>)h", "HREF", "<none>"},
        {"<Ahref=joined.htm>", "HREF", "joined.htm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttributeOf(c.tag, c.name), c.value) << c.tag;
}

class LinkTestCases : public ::testing::Test {
protected:
    CVQPrjSettings settings;
    CVQFileClassifier classifier{settings};
    CVQLinkTest test{classifier};

    std::string Taken(std::string_view text) const {
        const CVQSpan link = test.Test(text);
        return link.Found() ? std::string(text.substr(link.pos, link.length)) : "<fails>";
    }
};

TEST_F(LinkTestCases, WhatLooksLikeALink) {
    const struct {
        const char* text;
        const char* taken;
    } cases[] = {
        {"", "<fails>"},
        {"page.htm", "page.htm"},
        {"dir/", "dir/"},
        {"img/logo.GIF", "img/logo.GIF"},
        {"app.js?v=2", "app.js?v=2"},
        {"doc.htm#part", "doc.htm#part"},
        {"movie.swf", "movie.swf"}, // the Other list holds it
        {"setup.xyz", "<fails>"},   // no list holds it
        {"text/javascript", "<fails>"},
        {"www.site.com", "<fails>"},
        {".htm", "<fails>"},
        {".", "<fails>"},
        {"../up.htm", "../up.htm"},
        {"Visit http://o.com/a.htm now", "http://o.com/a.htm"},
        {"FTP://files.o.com/x", "FTP://files.o.com/x"},
        {"mailto:me@o.com", "<fails>"},
        {"a;b.htm", "<fails>"},
        {"f(x).htm", "<fails>"},
        {"it's.htm", "<fails>"},
        {"http://o.com/a;jsessionid=1", "<fails>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Taken(c.text), c.taken) << c.text;
}

TEST_F(LinkTestCases, OnlyTheStartIsExamined) {
    const std::string longName = std::string(300, 'a') + ".htm";
    EXPECT_EQ(Taken(longName), "<fails>");
    const std::string longAddress = "http://o.com/" + std::string(300, 'a') + ".htm";
    EXPECT_EQ(Taken(longAddress), longAddress);
}

TEST_F(LinkTestCases, StringScanners) {
    const CVQStringScanner scanner(test);
    const struct {
        const char* text;
        Links links;
    } cases[] = {
        {R"h(a = "one.htm" + 'two.gif';)h", {"one.htm", "two.gif"}},
        {R"h(w("<img src=\"esc.gif\">");)h", {"esc.gif"}},
        {R"h(s = "end.htm\";)h", {"end.htm"}},
        {R"h(go("page.php?id=1&next=n.htm");)h", {"page.php?id=1&next=n.htm"}},
        {R"h(go("redirect?to=target.htm; x");)h", {"target.htm"}},
        {R"h(p = "/" + name; q = "\\" + name;)h", {}},
        {R"h(r = "/";)h", {"/"}},
        {R"h(&quot;ent.htm&quot;)h", {"ent.htm"}},
        {R"h(unclosed = "never.htm)h", {}},
    };
    for (const auto& c : cases) {
        CVQLinkList links;
        scanner.ScanStrings(c.text, links);
        for (const CVQFoundLink& link : links)
            EXPECT_EQ(std::string_view(c.text).substr(link.offset, link.length), link.text);
        EXPECT_EQ(Texts(links), c.links) << c.text;
    }
}

TEST_F(LinkTestCases, UrlValues) {
    const CVQStringScanner scanner(test);
    const struct {
        const char* text;
        Links links;
    } cases[] = {
        {"a{background:url(a.gif)} b{background:URL ( 'b.png' )}", {"a.gif", "b.png"}},
        {R"h(x{src:url("c.gif")})h", {"c.gif"}},
        {"x{src:url(data:image/png;base64,AAAA)}", {}},
        {"x{src:url(d.gif\\)}", {"d.gif"}},
        {"curl(e.gif) url", {"e.gif"}},
        {"url(never.gif", {}},
    };
    for (const auto& c : cases) {
        CVQLinkList links;
        scanner.ScanUrlValues(c.text, links);
        EXPECT_EQ(Texts(links), c.links) << c.text;
    }
}

TEST(EventAttributes, InTheOrderOfTheEventList) {
    // ONMOUSEOVER comes before ONCLICK in the tag, after it in the list.
    EXPECT_EQ(PageLinks(R"h(<div onmouseover="show('over.gif')" onclick="go('click.htm','x')"
                          onmouseout='out(&quot;no.htm&quot;)'>)h"),
              (Links{"click.htm", "over.gif"}));
    EXPECT_EQ(PageLinks(R"h(<div onclick=&quot;go('q.htm')&quot;>)h"), Links{"q.htm"});
    EXPECT_EQ(PageLinks(R"h(<div xonclick="go('no.htm')">)h"), Links{});
}

} // namespace
