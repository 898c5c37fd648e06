// The identification a project sends to servers, made from its agent type, version and text,
// and the way back from such a text (the template stores only the text).
#pragma once

#include <string>
#include <string_view>

struct CVQAgentId {
    int type = 0;       // 0-9, see the labels
    int version = 6000; // the browser's version x 1000
    std::string text;   // the user-defined identification (type 5)

    bool operator==(const CVQAgentId&) const = default;
};

namespace vq {

inline constexpr int kAgentTypeCount = 10;
inline constexpr int kAgentUserDefined = 5;
inline constexpr int kAgentNone = 9;

// The identification text; empty for type 9, for an empty user-defined text and for a type
// outside 0-9 (the client then sends its fallback).
std::string AgentIdText(const CVQAgentId& agent);

// Turns an identification text back into type, version and text. Fields the text does not
// decide keep the values agent holds.
void AgentIdFromText(std::string_view text, CVQAgentId& agent);

// The label of a type in the settings dialog; empty for type 9 and outside 0-9.
std::string AgentLabel(int type);

} // namespace vq
