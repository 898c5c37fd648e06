// Reading and writing the program options, the window state and the history lists.
#include "desktop/project/program_options.h"

#include "desktop/address/text_util.h"
#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <variant>

namespace {

using Options = CVQProgramOptions;

template <typename... Fs> struct Overloaded : Fs... { using Fs::operator()...; };
template <typename... Fs> Overloaded(Fs...) -> Overloaded<Fs...>;

struct OptionValue {
    const char* name;
    std::variant<bool Options::*, int Options::*, std::string Options::*,
                 std::optional<CVQDate> Options::*>
        member;
    bool scrambled = false;
};

// Section "Options" in declaration order: the order values are written in.
const OptionValue kOptionValues[] = {
    {"FirstRun", &Options::firstRun},
    {"UseProxy", &Options::useProxy},
    {"ProxyAddress", &Options::proxyAddress},
    {"ProxyPort", &Options::proxyPort},
    {"FtpProxyAddress", &Options::ftpProxyAddress},
    {"FtpProxyPort", &Options::ftpProxyPort},
    {"ProxyUserID", &Options::proxyUserId},
    {"ProxyPassword", &Options::proxyPassword, true},
    {"UseCache", &Options::useCache},
    {"Redirect", &Options::redirect},
    {"AutoLoad", &Options::autoLoad},
    {"AutoSave", &Options::autoSave},
    {"AutoSaveTime", &Options::autoSaveTime},
    {"AutoSaveValue", &Options::autoSaveValue},
    {"FontHeight", &Options::fontHeight},
    {"FontWeight", &Options::fontWeight},
    {"FontScript", &Options::fontScript},
    {"FontName", &Options::fontName},
    {"HideWarnings", &Options::hideWarnings},
    {"Wizards", &Options::wizards},
    {"RemFind", &Options::remFind},
    {"RemURL", &Options::remUrl},
    {"RemBrowserURL", &Options::remBrowserUrl},
    {"RemTemplateFileNames", &Options::remTemplateFileNames},
    {"UseLngFile", &Options::useLngFile},
    {"LngFile", &Options::lngFile},
    {"UseTemplFile", &Options::useTemplFile},
    {"TemplFile", &Options::templFile},
    {"ConnType", &Options::connType},
    {"RasEntry", &Options::rasEntry},
    {"RasUserID", &Options::rasUserId},
    {"RasUserPsw", &Options::rasUserPsw, true},
    {"AutoDisconn", &Options::autoDisconn},
    {"AutoShutdown", &Options::autoShutdown},
    {"UseTray", &Options::useTray},
    {"ShowWelcome", &Options::showWelcome},
    {"ShowFirstPage", &Options::showFirstPage},
    {"ShowTips", &Options::showTips},
    {"SkinType", &Options::skinType},
    {"SkinStyle", &Options::skinStyle},
    {"UseRibbonUI", &Options::useRibbonUi},
    {"UseSkinFile", &Options::useSkinFile},
    {"SkinFile", &Options::skinFile},
    {"LastDir", &Options::lastDir},
    {"LastFilesDir", &Options::lastFilesDir},
    {"LastCopyDir", &Options::lastCopyDir},
    {"CheckUpdates", &Options::checkUpdates},
    {"CheckInterval", &Options::checkInterval},
    {"VersionUpdated", &Options::versionUpdated},
    {"BackupProject", &Options::backupProject},
    {"MaximizedBrowser", &Options::maximizedBrowser},
    {"CopyPrTo", &Options::copyPrTo},
    {"StorageName", &Options::storageName},
    {"ReaderDrive", &Options::readerDrive},
    {"NoPacing", &Options::noPacing},
};

const OptionValue kInstallerValue = {"ProjectWizardStartDownload",
                                     &Options::projectWizardStartDownload};

struct WindowValue {
    const char* name;
    int CVQWindowState::*member;
};

const WindowValue kWindowValues[] = {
    {"ShowState", &CVQWindowState::showState},
    {"Left", &CVQWindowState::left},
    {"Top", &CVQWindowState::top},
    {"Right", &CVQWindowState::right},
    {"Bottom", &CVQWindowState::bottom},
    {"SplitPos", &CVQWindowState::splitPos},
    {"ShowContents", &CVQWindowState::showContents},
    {"ShowToolBar", &CVQWindowState::showToolBar},
    {"ShowStatusBar", &CVQWindowState::showStatusBar},
};

struct HistoryList {
    const char* name;
    std::vector<std::string> Options::*member;
};

const HistoryList kHistoryLists[] = {
    {"Find", &Options::findList},
    {"URL", &Options::urlList},
    {"BrowserURL", &Options::browserUrlList},
    {"TemplateFile", &Options::templateFileList},
};

void ReadValue(const CVQRegistry& registry, std::string_view section, const OptionValue& value,
               Options& options) {
    const std::string_view name = value.name;
    std::visit(Overloaded{
                   [&](bool Options::*member) {
                       options.*member = registry.ReadInt(section, name, options.*member) != 0;
                   },
                   [&](int Options::*member) {
                       options.*member = registry.ReadInt(section, name, options.*member);
                   },
                   [&](std::string Options::*member) {
                       if (!registry.HasValue(section, name))
                           return;
                       const std::string text = registry.ReadString(section, name, "");
                       options.*member = value.scrambled ? vq::ScramblePassword(text) : text;
                   },
                   [&](std::optional<CVQDate> Options::*member) {
                       if (registry.HasValue(section, name))
                           options.*member =
                               vq::ParseVersionDate(registry.ReadString(section, name, ""));
                   },
               },
               value.member);
}

void WriteValue(CVQRegistry& registry, std::string_view section, const OptionValue& value,
                const Options& options) {
    const std::string_view name = value.name;
    std::visit(Overloaded{
                   [&](bool Options::*member) {
                       registry.WriteInt(section, name, options.*member ? 1 : 0);
                   },
                   [&](int Options::*member) { registry.WriteInt(section, name, options.*member); },
                   [&](std::string Options::*member) {
                       const std::string& text = options.*member;
                       registry.WriteString(section, name,
                                            value.scrambled ? vq::ScramblePassword(text) : text);
                   },
                   [&](std::optional<CVQDate> Options::*member) {
                       registry.WriteString(section, name, vq::FormatVersionDate(options.*member));
                   },
               },
               value.member);
}

// The face name of a font holds at most 31 bytes; a cut never splits a UTF-8 sequence.
void LimitFontName(std::string& name) {
    if (name.size() <= Options::kMaxFontName)
        return;
    std::size_t cut = Options::kMaxFontName;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    name.resize(cut);
}

void LoadOptions(const CVQRegistry& registry, Options& options) {
    const int fontScript = options.fontScript;
    for (const OptionValue& value : kOptionValues)
        ReadValue(registry, vq::kSectionOptions, value, options);
    options.autoSaveValue = std::max(options.autoSaveValue, 1);
    if (options.fontScript < 0 || options.fontScript > 255)
        options.fontScript = fontScript;
    LimitFontName(options.fontName);
}

// Moves the rectangle (keeping its size) so that the caption stays on the screen. A stored
// rectangle without area is replaced by the default one.
void KeepReachable(CVQWindowState& window, const CVQScreenMetrics& screen) {
    if (window.right <= window.left || window.bottom <= window.top) {
        const CVQWindowState fallback = CVQWindowState::Default(screen);
        window.left = fallback.left;
        window.top = fallback.top;
        window.right = fallback.right;
        window.bottom = fallback.bottom;
    }
    const auto shiftInto = [](int& low, int& high, long long maxLow) {
        const long long size = static_cast<long long>(high) - low;
        const long long wanted = std::clamp<long long>(low, 0, std::max(0LL, maxLow));
        low = static_cast<int>(wanted);
        high =
            static_cast<int>(std::min<long long>(wanted + size, std::numeric_limits<int>::max()));
    };
    shiftInto(window.left, window.right,
              static_cast<long long>(screen.width) - 2LL * screen.captionButtonWidth);
    shiftInto(window.top, window.bottom,
              static_cast<long long>(screen.height) - screen.captionButtonHeight);
}

void LoadDesktop(const CVQRegistry& registry, CVQWindowState& window,
                 const CVQScreenMetrics& screen) {
    const int showState = window.showState;
    for (const WindowValue& value : kWindowValues)
        window.*value.member =
            registry.ReadInt(vq::kSectionDesktop, value.name, window.*value.member);
    // Only the three show commands a window placement records; anything else could start the
    // program with an invisible window.
    if (window.showState < CVQWindowState::kShowNormal ||
        window.showState > CVQWindowState::kShowMaximized)
        window.showState = showState;
    KeepReachable(window, screen);
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number of at most nine digits, so that it fits an int.
bool IsSmallNumber(std::string_view text) {
    return AllDigits(text) && text.size() <= 9;
}

std::string EntryName(std::string_view list, std::size_t number) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%02zu", number);
    return std::string(list) + digits;
}

// True for "Find07" and the like when the number lies outside 1..written.
bool IsStaleEntry(std::string_view name, std::string_view list, std::size_t written) {
    if (!name.starts_with(list))
        return false;
    const std::string_view digits = name.substr(list.size());
    if (!AllDigits(digits))
        return false;
    if (!IsSmallNumber(digits))
        return true;
    const std::size_t number = std::stoul(std::string(digits));
    return number < 1 || number > written;
}

void LoadHistory(const CVQRegistry& registry, const HistoryList& history, Options& options) {
    std::vector<std::string>& list = options.*history.member;
    const std::string name = history.name;
    const int count =
        registry.ReadInt(vq::kSectionExOptions, name + "Quant", static_cast<int>(list.size()));
    const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                                    Options::kHistoryEntries);
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < taken; ++i)
        entries.push_back(registry.ReadString(vq::kSectionExOptions, EntryName(name, i + 1),
                                              i < list.size() ? list[i] : std::string()));
    list = std::move(entries);
}

// The count, then at least ten entries (empty beyond the count); numbered entries left over
// from a longer list are removed so that they cannot come back.
void SaveHistory(CVQRegistry& registry, const HistoryList& history, const Options& options) {
    const std::vector<std::string>& list = options.*history.member;
    const std::string name = history.name;
    registry.WriteInt(vq::kSectionExOptions, name + "Quant", static_cast<int>(list.size()));
    const std::size_t written = std::max(list.size(), Options::kHistoryEntries);
    for (std::size_t i = 0; i < written; ++i)
        registry.WriteString(vq::kSectionExOptions, EntryName(name, i + 1),
                             i < list.size() ? list[i] : std::string());
    for (const std::string& value : registry.ValueNames(vq::kSectionExOptions))
        if (IsStaleEntry(value, name, written))
            registry.Remove(vq::kSectionExOptions, value);
}

} // namespace

CVQWindowState CVQWindowState::Default(const CVQScreenMetrics& screen) {
    CVQWindowState state;
    state.showState = screen.width <= 1024 || screen.height <= 800 ? kShowMaximized : kShowNormal;
    const int width = static_cast<int>(screen.width * 2LL / 3);
    const int height = static_cast<int>(screen.height * 2LL / 3);
    state.left = (screen.width - width) / 2;
    state.top = (screen.height - height) / 2;
    state.right = state.left + width;
    state.bottom = state.top + height;
    return state;
}

CVQProgramOptions::CVQProgramOptions() : CVQProgramOptions(CVQScreenMetrics{}) {}

CVQProgramOptions::CVQProgramOptions(const CVQScreenMetrics& screen)
    : window(CVQWindowState::Default(screen)) {}

void CVQProgramOptions::Load(const CVQRegistry& registry, const CVQScreenMetrics& screen) {
    LoadDesktop(registry, window, screen);
    LoadOptions(registry, *this);
    for (const HistoryList& history : kHistoryLists)
        LoadHistory(registry, history, *this);
    ReadValue(registry, vq::kSectionInstaller, kInstallerValue, *this);
}

bool CVQProgramOptions::Save(CVQRegistry& registry) const {
    for (const WindowValue& value : kWindowValues)
        registry.WriteInt(vq::kSectionDesktop, value.name, window.*value.member);
    for (const OptionValue& value : kOptionValues)
        WriteValue(registry, vq::kSectionOptions, value, *this);
    for (const HistoryList& history : kHistoryLists)
        SaveHistory(registry, history, *this);
    return registry.Flush();
}

std::string CVQProgramOptions::ProxyText() const {
    std::string text = proxyAddress + ":" + std::to_string(proxyPort);
    if (!ftpProxyAddress.empty())
        text += " ftp=ftp://" + ftpProxyAddress + ":" + std::to_string(ftpProxyPort);
    return text;
}

namespace vq {

std::string ScramblePassword(std::string_view text) {
    std::string out(text.rbegin(), text.rend());
    for (char& c : out) {
        const unsigned byte = static_cast<unsigned char>(c);
        c = static_cast<char>(((byte & 0x55U) << 1) | ((byte & 0xAAU) >> 1));
    }
    return out;
}

std::optional<CVQDate> ParseVersionDate(std::string_view text) {
    const std::size_t first = text.find('/');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = text.find('/', first + 1);
    if (second == std::string_view::npos || text.find('/', second + 1) != std::string_view::npos)
        return std::nullopt;
    const std::string_view parts[] = {TrimBlanks(text.substr(0, first)),
                                      TrimBlanks(text.substr(first + 1, second - first - 1)),
                                      TrimBlanks(text.substr(second + 1))};
    for (std::string_view part : parts)
        if (!IsSmallNumber(part))
            return std::nullopt;
    CVQDate date;
    date.month = std::stoi(std::string(parts[0]));
    date.day = std::stoi(std::string(parts[1]));
    date.year = std::stoi(std::string(parts[2]));
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 || date.year < 1970 ||
        date.year > 3000)
        return std::nullopt;
    return date;
}

std::string FormatVersionDate(const std::optional<CVQDate>& date) {
    if (!date || date->year < 1970)
        return {};
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", date->month, date->day, date->year);
    return text;
}

} // namespace vq
