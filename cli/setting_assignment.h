// Settings given on the command line as KEY=VALUE: the template line "KEY \t\tVALUE", so that
// every keyed setting is reachable without a flag of its own.
#pragma once

#include <string>
#include <string_view>

struct CVQPrjSettings;

namespace vq {

// Applies one assignment. The value is written as a template line gives it (numbers plain,
// texts in double quotes, which may be left out). VQ_START_URL adds an address to the list.
// False with *error naming the key (and for numbers the allowed values); the settings are then
// unchanged.
bool ApplySettingAssignment(std::string_view assignment, CVQPrjSettings& settings,
                            std::string& error);

} // namespace vq
