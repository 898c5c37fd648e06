// KEY=VALUE assignments read through the template reader, with the ranges of the settings.
#include "cli/setting_assignment.h"

#include "desktop/address/text_util.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/setting_ranges.h"
#include "desktop/project/templ.h"
#include "desktop/resources/string_table.h"

#include <cctype>

namespace {

bool ReadLine(const std::string& key, std::string_view value, CVQPrjSettings& settings) {
    std::string line = key;
    line.append(" \t\t").append(value);
    return CVQTempl::ReadText(line, settings);
}

} // namespace

namespace vq {

bool ApplySettingAssignment(std::string_view assignment, CVQPrjSettings& settings,
                            std::string& error) {
    const std::string text(assignment);
    const std::size_t equals = assignment.find('=');
    std::string upperKey(equals == std::string_view::npos
                             ? std::string_view()
                             : vq::TrimBlanks(assignment.substr(0, equals)));
    if (upperKey.empty()) {
        error = VQFormat(IDS_CLI_SET_FORMAT, text.c_str());
        return false;
    }
    for (char& c : upperKey)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string_view value = assignment.substr(equals + 1);
    if (!CVQTempl::IsKey(upperKey)) {
        error = VQFormat(IDS_CLI_UNKNOWN_KEY, upperKey.c_str());
        return false;
    }
    const std::string valueText(value);
    // A line break would start a second template line that no check has seen.
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        error = VQFormat(IDS_CLI_BAD_VALUE, valueText.c_str(), upperKey.c_str());
        return false;
    }
    if (const CVQSettingRange* range = vq::SettingRange(upperKey);
        range && !vq::IsInRange(*range, value)) {
        error = VQFormat(IDS_CLI_OUT_OF_RANGE, upperKey.c_str(), vq::RangeText(*range).c_str(),
                         valueText.c_str());
        return false;
    }
    if (upperKey == "VQ_START_URL") {
        const std::string url =
            CVQTempl::QuotedValue(value).value_or(std::string(vq::TrimBlanks(value)));
        return settings.AddStartUrl(url, &error);
    }
    // The template reader starts a fresh address list; an assignment changes one setting only.
    CVQPrjSettings changed = settings;
    const bool read = ReadLine(upperKey, value, changed) ||
                      (value.find('"') == std::string_view::npos &&
                       ReadLine(upperKey, "\"" + valueText + "\"", changed));
    if (!read) {
        error = VQFormat(IDS_CLI_BAD_VALUE, valueText.c_str(), upperKey.c_str());
        return false;
    }
    changed.startUrl = settings.startUrl;
    settings = std::move(changed);
    return true;
}

} // namespace vq
