#include "desktop/project/agent_id.h"

#include <gtest/gtest.h>

namespace {

TEST(AgentId, TextOfEachType) {
    const std::pair<CVQAgentId, const char*> cases[] = {
        {{0, 6000, ""}, "Velloquin v5.0"},
        {{1, 6000, ""}, "Anonymous"},
        {{2, 6000, ""}, "Mozilla/4.0 (compatible; MSIE 6.00;)"},
        {{2, 5500, ""}, "Mozilla/4.0 (compatible; MSIE 5.50;)"},
        {{3, 4750, ""}, "Mozilla/4.8 [en] (Windows; I)"},
        {{4, 9200, ""}, "Mozilla/4.0 (Windows;) Opera 9.20 [en]"},
        {{5, 6000, "MyBot/1.0"}, "MyBot/1.0"},
        {{6, 5000, ""},
         "Mozilla/5.0 (Macintosh; U; Intel Mac OS X 10_7; en-us) AppleWebKit/533.4 (KHTML, like "
         "Gecko) Version/5.00 Safari/533.4"},
        {{7, 1, ""},
         "Mozilla/5.0 (iPhone; U; CPU like Mac OS X; en) AppleWebKit/420+ (KHTML, like Gecko) "
         "Version/3.0 Mobile/1A543a Safari/419.3"},
        {{8, 1, ""},
         "Mozilla/5.0 (iPad; U; CPU OS 3_2 like Mac OS X; en-us) AppleWebKit/531.21.10 (KHTML, "
         "like Gecko) Version/4.0.4 Mobile/7B334b Safari/531.21.10"},
        {{9, 6000, "ignored"}, ""},
        {{10, 6000, ""}, ""},
    };
    for (const auto& [agent, text] : cases)
        EXPECT_EQ(vq::AgentIdText(agent), text) << agent.type;
}

TEST(AgentId, TextBackToTypeAndVersion) {
    const CVQAgentId start{0, 1234, "kept"};
    const std::pair<const char*, CVQAgentId> cases[] = {
        {"Velloquin v5.0", {0, 1234, "kept"}},
        {"my VELLOQUIN copy", {0, 1234, "kept"}},
        {"anonymous", {1, 1234, "kept"}},
        {"Anonymous crawler", {5, 1234, "Anonymous crawler"}},
        {"Mozilla/4.0 (compatible; MSIE 6.00;)", {2, 6000, "kept"}},
        {"Mozilla/4.0 (compatible; msie   5.01; Windows)", {2, 5010, "kept"}},
        {"Mozilla/4.0 (compatible; MSIE)", {2, 0, "kept"}},
        {"Mozilla/4.0 (Windows;) Opera 9.20 [en]", {4, 9200, "kept"}},
        {"Mozilla/5.0 (Macintosh; U) Version/5.1.7 Safari", {6, 5100, "kept"}},
        {"Mozilla/5.0 (Macintosh; U) Safari", {6, 1234, "kept"}},
        {"Mozilla/5.0 (iPhone; U; CPU like Mac OS X)", {7, 1234, "kept"}},
        {"Mozilla/5.0 (iPad; U)", {8, 1234, "kept"}},
        {"Mozilla/4.75 [en] (Windows; I)", {3, 4750, "kept"}},
        {"Mozilla/99999999999 [en]", {3, 2147483647, "kept"}},
        {"Wget/1.21", {5, 1234, "Wget/1.21"}},
        {"", {5, 1234, ""}},
    };
    for (const auto& [text, expected] : cases) {
        CVQAgentId agent = start;
        vq::AgentIdFromText(text, agent);
        EXPECT_EQ(agent, expected) << text;
    }
}

TEST(AgentId, EveryTypeSurvivesItsText) {
    for (int type = 0; type <= 8; ++type) {
        const CVQAgentId agent{type, type == 3 ? 4700 : 6010, type == 5 ? "Custom/2.0" : ""};
        CVQAgentId back{0, 6010, ""};
        vq::AgentIdFromText(vq::AgentIdText(agent), back);
        EXPECT_EQ(back, agent) << type;
    }
}

TEST(AgentId, Labels) {
    EXPECT_EQ(vq::AgentLabel(0), "Velloquin");
    EXPECT_EQ(vq::AgentLabel(2), "Microsoft Internet Explorer");
    EXPECT_EQ(vq::AgentLabel(7), "Safari (iPhone / iPod)");
    EXPECT_EQ(vq::AgentLabel(8), "Safari (iPad)");
    EXPECT_EQ(vq::AgentLabel(9), "");
    EXPECT_EQ(vq::AgentLabel(-1), "");
}

} // namespace
