// The identification texts of the agent choices and their reverse mapping.
#include "desktop/project/agent_id.h"

#include "desktop/address/text_util.h"
#include "desktop/resources/string_table.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace {

constexpr std::string_view kVersion = "5.0";

constexpr int kLabels[] = {IDS_AGENT_VELLOQUIN,  IDS_AGENT_ANONYMOUS,     IDS_AGENT_MSIE,
                           IDS_AGENT_NETSCAPE,   IDS_AGENT_OPERA,         IDS_AGENT_USER_DEFINED,
                           IDS_AGENT_SAFARI_MAC, IDS_AGENT_SAFARI_IPHONE, IDS_AGENT_SAFARI_IPAD};

// "%.Nf" of version / 1000 without the locale's decimal comma.
std::string VersionText(int version, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, version / 1000.0,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// The decimal fraction after the marker (leading blanks skipped, reading stops at the first
// character that cannot continue it) times 1000, cut to an integer; 0 when there is no number.
int VersionAfter(std::string_view text, std::size_t markerEnd) {
    std::size_t i = markerEnd;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::size_t end = i;
    bool dot = false;
    while (end < text.size() &&
           ((text[end] >= '0' && text[end] <= '9') || (text[end] == '.' && !dot))) {
        dot = dot || text[end] == '.';
        ++end;
    }
    double value = 0;
    if (end > i && std::from_chars(text.data() + i, text.data() + end, value).ec != std::errc())
        value = 0;
    // The tiny addition keeps "5.01" at 5010: the binary value of 5.01 x 1000 lies just below.
    const double product = std::floor(value * 1000 + 1e-6);
    return product >= INT_MAX ? INT_MAX : static_cast<int>(product);
}

// The version after the marker, when the text contains it.
bool TakeVersionAfter(std::string_view text, std::string_view marker, int& version) {
    const std::size_t at = vq::FindIgnoreCase(text, marker);
    if (at == std::string_view::npos)
        return false;
    version = VersionAfter(text, at + marker.size());
    return true;
}

bool Contains(std::string_view text, std::string_view part) {
    return vq::FindIgnoreCase(text, part) != std::string_view::npos;
}

} // namespace

namespace vq {

std::string AgentIdText(const CVQAgentId& agent) {
    switch (agent.type) {
    case 0:
        return "Velloquin v" + std::string(kVersion);
    case 1:
        return "Anonymous";
    case 2:
        return "Mozilla/4.0 (compatible; MSIE " + VersionText(agent.version, 2) + ";)";
    case 3:
        return "Mozilla/" + VersionText(agent.version, 1) + " [en] (Windows; I)";
    case 4:
        return "Mozilla/4.0 (Windows;) Opera " + VersionText(agent.version, 2) + " [en]";
    case 5:
        return agent.text;
    case 6:
        return "Mozilla/5.0 (Macintosh; U; Intel Mac OS X 10_7; en-us) AppleWebKit/533.4 (KHTML, "
               "like Gecko) Version/" +
               VersionText(agent.version, 2) + " Safari/533.4";
    case 7:
        return "Mozilla/5.0 (iPhone; U; CPU like Mac OS X; en) AppleWebKit/420+ (KHTML, like "
               "Gecko) Version/3.0 Mobile/1A543a Safari/419.3";
    case 8:
        return "Mozilla/5.0 (iPad; U; CPU OS 3_2 like Mac OS X; en-us) AppleWebKit/531.21.10 "
               "(KHTML, like Gecko) Version/4.0.4 Mobile/7B334b Safari/531.21.10";
    default:
        return {};
    }
}

void AgentIdFromText(std::string_view text, CVQAgentId& agent) {
    if (Contains(text, "Velloquin")) {
        agent.type = 0;
    } else if (EqualsIgnoreCase(text, "Anonymous")) {
        agent.type = 1;
    } else if (TakeVersionAfter(text, "MSIE", agent.version)) {
        agent.type = 2;
    } else if (TakeVersionAfter(text, "Opera", agent.version)) {
        agent.type = 4;
    } else if (Contains(text, "Mozilla/5.0 (Macintosh")) {
        agent.type = 6;
        TakeVersionAfter(text, "Version/", agent.version);
    } else if (Contains(text, "iPhone")) {
        agent.type = 7;
    } else if (Contains(text, "iPad")) {
        agent.type = 8;
    } else if (TakeVersionAfter(text, "Mozilla/", agent.version)) {
        agent.type = 3;
    } else {
        agent.type = kAgentUserDefined;
        agent.text = std::string(text);
    }
}

std::string AgentLabel(int type) {
    if (type < 0 || type >= static_cast<int>(std::size(kLabels)))
        return {};
    return VQText(kLabels[type]);
}

} // namespace vq
