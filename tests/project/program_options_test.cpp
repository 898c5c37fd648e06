#include "desktop/project/program_options.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// A screen on which no stored position needs moving.
const CVQScreenMetrics kWideScreen{.width = 1920, .height = 1080};

CVQProgramOptions EveryValueChanged() {
    CVQProgramOptions o(kWideScreen);
    o.firstRun = false;
    o.useProxy = true;
    o.proxyAddress = "proxy.lan";
    o.proxyPort = 8080;
    o.ftpProxyAddress = "fproxy.lan";
    o.ftpProxyPort = 2121;
    o.proxyUserId = "me";
    o.proxyPassword = "s3cr\xc3\xa9t, with comma";
    o.useCache = true;
    o.redirect = false;
    o.autoLoad = false;
    o.autoSave = false;
    o.autoSaveTime = false;
    o.autoSaveValue = 17;
    o.fontHeight = -13;
    o.fontWeight = 700;
    o.fontScript = 204;
    o.fontName = "DejaVu Sans";
    o.hideWarnings = 1;
    o.wizards = 0;
    o.remFind = o.remUrl = o.remBrowserUrl = o.remTemplateFileNames = false;
    o.useLngFile = true;
    o.lngFile = "Deutsch.wlg";
    o.useTemplFile = true;
    o.templFile = "/t/default.vqt";
    o.connType = 1;
    o.rasEntry = "Modem";
    o.rasUserId = "dial";
    o.rasUserPsw = "pw";
    o.autoDisconn = o.autoShutdown = o.useTray = true;
    o.showWelcome = o.showFirstPage = o.showTips = 0;
    o.skinType = 2;
    o.skinStyle = 1;
    o.useRibbonUi = false;
    o.useSkinFile = true;
    o.skinFile = "dark.skn";
    o.lastDir = "/p";
    o.lastFilesDir = "/f";
    o.lastCopyDir = "/c";
    o.checkUpdates = 0;
    o.checkInterval = 2;
    o.versionUpdated = CVQDate{2025, 11, 30};
    o.backupProject = false;
    o.maximizedBrowser = true;
    o.copyPrTo = 4;
    o.storageName = "SD";
    o.readerDrive = "G";
    o.noPacing = true;
    o.window = {.showState = 3,
                .left = 10,
                .top = 20,
                .right = 810,
                .bottom = 620,
                .splitPos = 333,
                .showContents = 0,
                .showToolBar = 0,
                .showStatusBar = 0};
    o.findList = {"needle"};
    o.urlList = {"http://a.com/", "http://b.com/"};
    o.browserUrlList = {"http://c.com/"};
    o.templateFileList = {"/t/one.vqt"};
    return o;
}

TEST(ProgramOptions, RoundTripThroughTheRegistry) {
    const CVQTempDir dir;
    const CVQProgramOptions saved = EveryValueChanged();
    {
        CVQRegistry registry(dir.File("Velloquin.conf"));
        ASSERT_TRUE(saved.Save(registry));
    }
    const CVQRegistry registry(dir.File("Velloquin.conf"));
    CVQProgramOptions loaded(kWideScreen);
    ASSERT_NE(loaded, saved);
    loaded.Load(registry, kWideScreen);
    EXPECT_EQ(loaded, saved);
}

TEST(ProgramOptions, MissingValuesKeepTheirDefaults) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    CVQProgramOptions loaded(kWideScreen);
    loaded.Load(registry, kWideScreen);
    EXPECT_EQ(loaded, CVQProgramOptions(kWideScreen));

    registry.WriteInt("Options", "ProxyPort", 3128);
    registry.WriteString("Options", "ProxyAddress", "p1");
    loaded.Load(registry, kWideScreen);
    CVQProgramOptions expected(kWideScreen);
    expected.proxyPort = 3128;
    expected.proxyAddress = "p1";
    EXPECT_EQ(loaded, expected);
}

TEST(ProgramOptions, UnusableStoredValues) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    registry.WriteString("Options", "ProxyPort", "eighty");
    registry.WriteInt("Options", "FontScript", 300);
    registry.WriteString("Options", "FontName", std::string(28, 'F') + "\xc3\xa9\xc3\xa9xyz");
    registry.WriteInt("Desktop", "ShowState", 0);
    CVQProgramOptions o(kWideScreen);
    o.Load(registry, kWideScreen);
    EXPECT_EQ(o.proxyPort, 80);
    EXPECT_EQ(o.fontScript, 0);
    EXPECT_EQ(o.fontName, std::string(28, 'F') + "\xc3\xa9"); // 31 bytes at most, whole characters
    EXPECT_EQ(o.window.showState, CVQWindowState::kShowNormal);

    for (const auto& [stored, used] : {std::pair{0, 1}, {-5, 1}, {1, 1}, {7, 7}}) {
        registry.WriteInt("Options", "AutoSaveValue", stored);
        o.Load(registry, kWideScreen);
        EXPECT_EQ(o.autoSaveValue, used) << stored;
    }
}

TEST(ProgramOptions, PasswordsAreStoredScrambled) {
    EXPECT_EQ(vq::ScramblePassword("ab"), "\x91\x92");
    EXPECT_EQ(vq::ScramblePassword(""), "");
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    EXPECT_EQ(vq::ScramblePassword(vq::ScramblePassword(everyByte)), everyByte);
    EXPECT_NE(vq::ScramblePassword(everyByte), everyByte);

    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    CVQProgramOptions o;
    o.proxyPassword = "ab";
    o.rasUserPsw = "secret";
    ASSERT_TRUE(o.Save(registry));
    EXPECT_EQ(registry.ReadString("Options", "ProxyPassword", ""), "\x91\x92");
    EXPECT_EQ(registry.ReadString("Options", "RasUserPsw", ""), vq::ScramblePassword("secret"));
}

TEST(ProgramOptions, HistoryListsReadTenAndWriteTheRealCount) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    registry.WriteInt("ExOptions", "FindQuant", 25);
    for (int i = 1; i <= 25; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Find%02d", i);
        registry.WriteString("ExOptions", name, "text " + std::to_string(i));
    }
    registry.WriteInt("ExOptions", "URLQuant", -4);
    registry.WriteString("ExOptions", "URL01", "ignored");
    registry.WriteInt("ExOptions", "BrowserURLQuant", 2);
    registry.WriteString("ExOptions", "BrowserURL02", "second");

    CVQProgramOptions o;
    o.Load(registry, {});
    ASSERT_EQ(o.findList.size(), 10U);
    EXPECT_EQ(o.findList.front(), "text 1");
    EXPECT_EQ(o.findList.back(), "text 10");
    EXPECT_TRUE(o.urlList.empty());
    EXPECT_EQ(o.browserUrlList, (std::vector<std::string>{"", "second"}));

    o.findList.resize(3);
    ASSERT_TRUE(o.Save(registry));
    EXPECT_EQ(registry.ReadInt("ExOptions", "FindQuant", -1), 3);
    std::vector<std::string> finds;
    for (const std::string& name : registry.ValueNames("ExOptions"))
        if (name.starts_with("Find") && name != "FindQuant")
            finds.push_back(name);
    std::sort(finds.begin(), finds.end());
    EXPECT_EQ(finds, (std::vector<std::string>{"Find01", "Find02", "Find03", "Find04", "Find05",
                                               "Find06", "Find07", "Find08", "Find09", "Find10"}));
    EXPECT_EQ(registry.ReadString("ExOptions", "Find03", "?"), "text 3");
    EXPECT_EQ(registry.ReadString("ExOptions", "Find04", "?"), "");
    EXPECT_EQ(registry.ReadInt("ExOptions", "TemplateFileQuant", -1), 0);
    EXPECT_EQ(registry.ReadString("ExOptions", "TemplateFile10", "?"), "");
}

TEST(ProgramOptions, InstallerSettingIsReadButNotWritten) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    registry.WriteInt("Installer_Settings", "ProjectWizardStartDownload", 1);
    CVQProgramOptions o;
    o.Load(registry, {});
    EXPECT_EQ(o.projectWizardStartDownload, 1);
    o.projectWizardStartDownload = 0;
    ASSERT_TRUE(o.Save(registry));
    EXPECT_EQ(registry.ReadInt("Installer_Settings", "ProjectWizardStartDownload", -1), 1);
}

TEST(ProgramOptions, VersionUpdatedText) {
    const std::pair<const char*, std::optional<CVQDate>> cases[] = {
        {"12/05/2024", CVQDate{2024, 12, 5}},
        {"1/2/1970", CVQDate{1970, 1, 2}},
        {" 3/ 7/3000", CVQDate{3000, 3, 7}},
        {"13/01/2020", std::nullopt},
        {"00/01/2020", std::nullopt},
        {"01/32/2020", std::nullopt},
        {"01/00/2020", std::nullopt},
        {"01/01/1969", std::nullopt},
        {"01/01/3001", std::nullopt},
        {"2020-01-01", std::nullopt},
        {"01/012020", std::nullopt},
        {"1/2/3/4", std::nullopt},
        {"a/b/c", std::nullopt},
        {"//", std::nullopt},
        {"", std::nullopt},
        {"01/01/99999999999", std::nullopt},
    };
    for (const auto& [text, date] : cases)
        EXPECT_EQ(vq::ParseVersionDate(text), date) << text;

    EXPECT_EQ(vq::FormatVersionDate(CVQDate{2024, 3, 7}), "03/07/2024");
    EXPECT_EQ(vq::FormatVersionDate(std::nullopt), "");
    EXPECT_EQ(vq::FormatVersionDate(CVQDate{1969, 12, 31}), "");

    // A stored text that is no date means "never checked", also over a date in memory.
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    CVQProgramOptions o;
    o.versionUpdated = CVQDate{2024, 1, 1};
    o.Load(registry, {});
    EXPECT_EQ(o.versionUpdated, (CVQDate{2024, 1, 1}));
    registry.WriteString("Options", "VersionUpdated", "13/01/2020");
    o.Load(registry, {});
    EXPECT_EQ(o.versionUpdated, std::nullopt);
}

TEST(ProgramOptions, WindowStateDefaultsFollowTheScreen) {
    const CVQWindowState small = CVQWindowState::Default({.width = 1024, .height = 768});
    EXPECT_EQ(small.showState, CVQWindowState::kShowMaximized);
    EXPECT_EQ((std::array{small.left, small.top, small.right, small.bottom}),
              (std::array{171, 128, 853, 640}));
    EXPECT_EQ(CVQWindowState::Default({.width = 1280, .height = 800}).showState,
              CVQWindowState::kShowMaximized);
    const CVQWindowState wide = CVQWindowState::Default(kWideScreen);
    EXPECT_EQ(wide.showState, CVQWindowState::kShowNormal);
    EXPECT_EQ((std::array{wide.left, wide.top, wide.right, wide.bottom}),
              (std::array{320, 180, 1600, 900}));
    EXPECT_EQ(wide.splitPos, 200);
}

TEST(ProgramOptions, StoredWindowPositionStaysOnTheScreen) {
    struct Case {
        std::array<int, 4> stored; // left, top, right, bottom
        std::array<int, 4> used;
    };
    // Screen 1920 x 1080 with 36 x 22 caption buttons: left at most 1848, top at most 1058.
    const Case cases[] = {
        {{100, 50, 900, 650}, {100, 50, 900, 650}},
        {{5000, 50, 5800, 650}, {1848, 50, 2648, 650}},
        {{-300, -40, 500, 560}, {0, 0, 800, 600}},
        {{10, 2000, 810, 2600}, {10, 1058, 810, 1658}},
        {{500, 50, 500, 650}, {320, 180, 1600, 900}}, // no area: the default rectangle
        {{-2147483647, 0, 2147483647, 600}, {0, 0, 2147483647, 600}},
    };
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("Velloquin.conf"));
    for (const Case& c : cases) {
        const char* names[] = {"Left", "Top", "Right", "Bottom"};
        for (int i = 0; i < 4; ++i)
            registry.WriteInt("Desktop", names[i], c.stored[static_cast<std::size_t>(i)]);
        CVQProgramOptions o(kWideScreen);
        o.Load(registry, kWideScreen);
        EXPECT_EQ((std::array{o.window.left, o.window.top, o.window.right, o.window.bottom}),
                  c.used)
            << c.stored[0] << "," << c.stored[1];
    }
}

TEST(ProgramOptions, ProxyText) {
    CVQProgramOptions o;
    o.proxyAddress = "proxy";
    o.proxyPort = 8080;
    EXPECT_EQ(o.ProxyText(), "proxy:8080");
    o.ftpProxyAddress = "fproxy";
    o.ftpProxyPort = 2121;
    EXPECT_EQ(o.ProxyText(), "proxy:8080 ftp=ftp://fproxy:2121");
}

} // namespace
