// Pages as an attacker could write them: every scan must end, soon and in bounded memory.
#include "desktop/content/byte_source.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "tests/content/scan_support.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

using Links = std::vector<std::string>;

// head, then body repeated up to count bytes, then tail; nothing is held in memory but the
// three parts.
class CVQRepeatSource : public CVQByteSource {
public:
    CVQRepeatSource(std::string head, std::string body, std::size_t count, std::string tail)
        : m_parts{std::move(head), std::move(body), std::move(tail)}, m_bodyLeft(count) {}

protected:
    std::size_t ReadRaw(char* out, std::size_t max) override {
        std::size_t written = 0;
        while (written < max && m_part < 3) {
            const std::string& part = m_parts[m_part];
            std::size_t n = std::min(max - written, part.size() - m_at);
            if (m_part == 1)
                n = std::min(n, m_bodyLeft);
            std::memcpy(out + written, part.data() + m_at, n);
            written += n;
            m_at += n;
            if (m_part == 1) {
                m_bodyLeft -= n;
                if (m_at == part.size())
                    m_at = 0;
                if (m_bodyLeft == 0)
                    NextPart();
            } else if (m_at == part.size()) {
                NextPart();
            }
        }
        return written;
    }

private:
    void NextPart() {
        ++m_part;
        m_at = 0;
        if (m_part == 1 && (m_bodyLeft == 0 || m_parts[1].empty()))
            ++m_part;
    }

    std::string m_parts[3];
    std::size_t m_bodyLeft;
    std::size_t m_part = 0;
    std::size_t m_at = 0;
};

long PeakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Outcome {
    Links links;
    int restarts = 0;
    double seconds = 0;
    long peakGrowthKb = 0;
};

Outcome Scan(CVQByteSource& source) {
    const CVQPrjSettings settings;
    const CVQFileClassifier classifier(settings);
    const CVQLinkTest test(classifier);
    const CVQScanOptions options;
    const CVQTagHandlers handlers(test, options);
    CVQRecordingSink sink;
    CVQTagProcessor processor(handlers, sink);
    CVQPageScanner scanner;
    const long peakBefore = PeakKb();
    const auto start = std::chrono::steady_clock::now();
    scanner.Scan(source, processor);
    Outcome outcome;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.peakGrowthKb = PeakKb() - peakBefore;
    outcome.links = sink.Texts();
    outcome.restarts = scanner.Restarts();
    return outcome;
}

Outcome Scan(std::string head, std::string body, std::size_t count, std::string tail) {
    CVQRepeatSource source(std::move(head), std::move(body), count, std::move(tail));
    return Scan(source);
}

// Generous: a scan that is linear ends in a fraction of this, one that is not never does.
constexpr double kSecondsBound = kSanitized ? 120 : 30;
constexpr std::size_t k100Mb = 100u << 20;

TEST(HostileInput, HundredMegabyteLines) {
    const Outcome plain = Scan("<a href=first.htm>", "x", k100Mb, "<a href=last.htm>");
    EXPECT_EQ(plain.links, (Links{"first.htm", "last.htm"}));
    EXPECT_LT(plain.seconds, kSecondsBound);
    // A script that never ends is cut at the tag limit and the rest is still read.
    const Outcome script = Scan("<SCRIPT>", "var a='x';", k100Mb, "<a href=after.htm>");
    EXPECT_EQ(script.links, Links{"after.htm"});
    EXPECT_EQ(script.restarts, 1);
    EXPECT_LT(script.seconds, kSecondsBound);
    // A closing marker broken over lines, followed by a sea of blanks.
    const Outcome blanks = Scan("<script>x</script", " ", k100Mb, "\n<a href=after.htm>");
    EXPECT_EQ(blanks.links, Links{"after.htm"});
    EXPECT_LT(blanks.seconds, kSecondsBound);
    if (!kSanitized) {
        // Far below the page's size: the window, not the page, is held.
        EXPECT_LT(plain.peakGrowthKb, 64 * 1024);
        EXPECT_LT(script.peakGrowthKb, 64 * 1024);
        EXPECT_LT(blanks.peakGrowthKb, 64 * 1024);
    }
}

TEST(HostileInput, MillionsOfOpenings) {
    const Outcome open = Scan("", "<A ", 3'000'000, "");
    EXPECT_EQ(open.restarts, CVQPageScanner::kMaxRestarts);
    EXPECT_LT(open.seconds, kSecondsBound);
    // With a ">" at the end they are all one anchor, and the tags inside it a chain.
    const Outcome closed = Scan("", "<A ", 3'000'000, "<a href=z.htm>");
    EXPECT_EQ(closed.links.front(), "z.htm");
    EXPECT_LT(closed.seconds, kSecondsBound);

    const Outcome notWords = Scan("", "<A<IMG<TD", 9'000'000, "<a href=z.htm>");
    EXPECT_EQ(notWords.links, Links{"z.htm"});
    EXPECT_LT(notWords.seconds, kSecondsBound);

    const Outcome comments = Scan("", "<!--", 4'000'000, "");
    EXPECT_EQ(comments.restarts, CVQPageScanner::kMaxRestarts);
    EXPECT_LT(comments.seconds, kSecondsBound);
}

TEST(HostileInput, DeepNesting) {
    // Every inner tag ends where the outer one does.
    const Outcome chain = Scan("", "<A ", 300'000, "HREF=x.htm>");
    EXPECT_FALSE(chain.links.empty());
    EXPECT_EQ(chain.links.front(), "x.htm");
    EXPECT_LT(chain.seconds, kSecondsBound);

    const Outcome forms = Scan("<FORM><a href=deep.htm>", "<FORM><TD>", 1'000'000, "</FORM>");
    EXPECT_LT(forms.seconds, kSecondsBound);
    EXPECT_NE(std::find(forms.links.begin(), forms.links.end(), "deep.htm"), forms.links.end());

    const Outcome quotes = Scan("<a href=\"", "<a onclick=\"'x.htm", 500'000, ">");
    EXPECT_LT(quotes.seconds, kSecondsBound);
}

TEST(HostileInput, ZeroBytesAndWideText) {
    using namespace std::string_literals;
    EXPECT_EQ(PageLinks("<a\0 href=x.htm>\0\0\n\0<img src=y.gif>"s), (Links{"x.htm", "y.gif"}));
    std::string wide;
    for (char c : std::string("<a href=\"w.htm\">"))
        wide += std::string(1, c) + '\0';
    EXPECT_EQ(PageLinks(wide), Links{"w.htm"});
    const Outcome zeros = Scan("", std::string(1, '\0'), 10'000'000, "<a href=z.htm>");
    EXPECT_EQ(zeros.links, Links{"z.htm"});
}

TEST(HostileInput, InvalidUtf8AndRandomBytes) {
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < 1 << 20; ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>(state >> 24);
    }
    const Outcome outcome =
        Scan("<a href=\"\xC3\x28\xFF.htm\">", noise, 20'000'000, "<a href=end.htm>");
    EXPECT_LT(outcome.seconds, kSecondsBound);
    ASSERT_FALSE(outcome.links.empty());
    EXPECT_EQ(outcome.links.front(), "\xC3\x28\xFF.htm");
}

} // namespace
