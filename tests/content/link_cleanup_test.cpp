#include "desktop/content/link_cleanup.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkCleanup, ReferencesTabsLengthAndBlanks) {
    const struct {
        const char* raw;
        const char* clean;
    } cases[] = {
        {"a.php?x=1&amp;y=2", "a.php?x=1&y=2"},
        {"&lt;&gt;&quot;", "<>\""},
        {"&AMP;", "&AMP;"}, // names are compared exactly
        {"&#65;.htm", "A.htm"},
        {"&#x41;&#X42;.htm", "AB.htm"},
        {"a&#9;b.htm", "ab.htm"}, // a control code removes the reference
        {"a&#0;b", "ab"},
        {"caf&eacute;.htm", "caf\xC3\xA9.htm"},
        {"&#233;&#8364;", "\xC3\xA9\xE2\x82\xAC"},
        {"&#99999999999999999999;x", "x"},
        {"&#xD800;x", "x"},
        {"&amp;#65;", "&#65;"}, // one reference is decoded once
        {"&#65", "&#65"},
        {"&nosuch;", "&nosuch;"},
        {"a\tb\t.htm", "ab.htm"},
        {"  page.htm \r", "page.htm"},
        {"a\r\nb\x01.htm", "ab.htm"}, // no control character reaches a request
        {"&nbsp;x", "\xC2\xA0x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CVQLinkCleanup::Clean(c.raw), c.clean) << c.raw;

    const std::string longLink(2000, 'a');
    EXPECT_EQ(CVQLinkCleanup::Clean(longLink).size(), CVQLinkCleanup::kMaxLinkLength);
    // A cut never splits a character.
    const std::string accents = std::string(1038, 'a') + "\xC3\xA9";
    EXPECT_EQ(CVQLinkCleanup::Clean(accents), std::string(1038, 'a'));
}

TEST(LinkCleanup, Followable) {
    const struct {
        const char* link;
        bool followable;
    } cases[] = {
        {"page.htm", true},
        {"//cdn.o.com/a.js", true},
        {"http://o.com/", true},
        {"HTTPS://o.com/", true},
        {"ftp://o.com/f", true},
        {"file:///tmp/x", true},
        {"C:\\site\\a.htm", true},
        {"go.php?t=12:30", true},
        {"mailto:me@o.com", false},
        {"javascript:void(0)", false},
        {"news:comp.lang", false},
        {"about:blank", false},
        {"1:x", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CVQLinkCleanup::IsFollowable(c.link), c.followable) << c.link;
}

} // namespace
