#include "desktop/project/text_format.h"
#include "tests/support/test_time.h"

#include <gtest/gtest.h>

namespace {

struct ClockGuard {
    explicit ClockGuard(int mode) { vq::ForceClock24(mode); }
    ~ClockGuard() { vq::ForceClock24(-1); }
};

TEST(TextFormat, SizeText) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"},      {1023, "1023 bytes"},   {1024, "1.0 KB"},
        {1536, "1.5 KB"},    {1048575, "1024.0 KB"}, // below 1024 KB before rounding
        {1048576, "1.0 MB"}, {5ull << 30, "5.0 GB"}, {3ull << 40, "3072.0 GB"}, // no unit above GB
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(vq::SizeText(bytes), text) << bytes;
}

TEST(TextFormat, DateTimeTextFollowsTheClock) {
    struct Case {
        int clock;
        std::tm time;
        bool seconds;
        const char* text;
    };
    const Case cases[] = {
        {1, vq::test::LocalTime(14, 5, 9), true, "14:05:09, March 7, 2026"},
        {1, vq::test::LocalTime(9, 5, 9, 31, 11, 1999), false, "9:05, December 31, 1999"},
        {1, vq::test::LocalTime(0, 0, 0, 1, 0), true, "0:00:00, January 1, 2026"},
        {0, vq::test::LocalTime(14, 5, 9), true, "2:05:09 PM, March 7, 2026"},
        {0, vq::test::LocalTime(0, 30, 0), false, "12:30 AM, March 7, 2026"},
        {0, vq::test::LocalTime(12, 0, 1), true, "12:00:01 PM, March 7, 2026"},
        {0, vq::test::LocalTime(11, 59, 59), false, "11:59 AM, March 7, 2026"},
    };
    for (const Case& c : cases) {
        ClockGuard clock(c.clock);
        EXPECT_EQ(vq::DateTimeText(c.time, c.seconds), c.text);
    }
}

TEST(TextFormat, DateTimeTextSurvivesValuesOutOfRange) {
    ClockGuard clock(1);
    std::tm t = vq::test::LocalTime(1, 2, 3);
    t.tm_mon = 12;
    t.tm_year = 2147483647;
    EXPECT_EQ(vq::DateTimeText(t, false), "1:02,  7, 2147485547");
}

TEST(TextFormat, HtmlEscape) {
    EXPECT_EQ(vq::HtmlEscape("<a href=\"x\">Tom's & Jerry's</a>"),
              "&lt;a href=&quot;x&quot;&gt;Tom&#39;s &amp; Jerry&#39;s&lt;/a&gt;");
}

TEST(TextFormat, ReplaceExtension) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/p/site.vqp", "log", "/p/site.log"},
        {"/p/site", "log", "/p/site.log"},
        {"/p.d/site", "vqp", "/p.d/site.vqp"},
        {"/p/a.b.vqt", "vqp", "/p/a.b.vqp"},
    };
    for (const auto& [path, ext, result] : cases)
        EXPECT_EQ(vq::ReplaceExtension(path, ext), result);
}

} // namespace
