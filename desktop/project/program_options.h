// The program options record with the main window's state and the four history lists, as the
// registry keeps them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CVQRegistry;

// A calendar date as "VersionUpdated" keeps it (midnight of that day).
struct CVQDate {
    int year = 1970;
    int month = 1;
    int day = 1;

    bool operator==(const CVQDate&) const = default;
};

// What the window-state defaults and the clamping of a stored position need of the screen.
struct CVQScreenMetrics {
    int width = 1024;
    int height = 768;
    int captionButtonWidth = 36;
    int captionButtonHeight = 22;
};

// Section "Desktop": how the main window looked when it was last destroyed.
struct CVQWindowState {
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int showState = kShowNormal;
    int left = 0; // normal (restored) rectangle
    int top = 0;
    int right = 0;
    int bottom = 0;
    int splitPos = 200; // width of the contents pane
    int showContents = 1;
    int showToolBar = 1;
    int showStatusBar = 1;

    // Maximized on screens up to 1024 x 800, else normal; a centred rectangle of two thirds of
    // the screen.
    static CVQWindowState Default(const CVQScreenMetrics& screen);

    bool operator==(const CVQWindowState&) const = default;
};

// One record for the whole program, copied by value into the options dialog and back. The
// passwords are plain text here; only the registry holds them scrambled.
struct CVQProgramOptions {
    static constexpr std::size_t kHistoryEntries = 10;
    static constexpr std::size_t kMaxFontName = 31;

    CVQProgramOptions();
    // The window-state defaults follow the screen the program starts on.
    explicit CVQProgramOptions(const CVQScreenMetrics& screen);

    // Reads "Desktop", "Options", "ExOptions" and "Installer_Settings" in that order. A value
    // that is missing or not readable keeps the one in memory. The stored window position is
    // kept reachable on the given screen.
    void Load(const CVQRegistry& registry, const CVQScreenMetrics& screen);

    // Writes "Desktop", "Options" and "ExOptions" in that order and flushes; false when the file
    // could not be written. "Installer_Settings" belongs to the installer and is not written.
    bool Save(CVQRegistry& registry) const;

    // The proxy settings as the HTTP layer takes them: "host:port", and when an FTP proxy is set
    // " ftp=ftp://host:port" after it.
    std::string ProxyText() const;

    bool operator==(const CVQProgramOptions&) const = default;

    // Section "Options", in the order the registry holds them.
    bool firstRun = true;                   // "FirstRun"
    bool useProxy = false;                  // "UseProxy"
    std::string proxyAddress;               // "ProxyAddress"
    int proxyPort = 80;                     // "ProxyPort"
    std::string ftpProxyAddress;            // "FtpProxyAddress"
    int ftpProxyPort = 21;                  // "FtpProxyPort"
    std::string proxyUserId;                // "ProxyUserID"
    std::string proxyPassword;              // "ProxyPassword", stored scrambled
    bool useCache = false;                  // "UseCache"
    bool redirect = true;                   // "Redirect"
    bool autoLoad = true;                   // "AutoLoad"
    bool autoSave = true;                   // "AutoSave"
    bool autoSaveTime = true;               // "AutoSaveTime"
    int autoSaveValue = 5;                  // "AutoSaveValue", minutes, at least 1
    int fontHeight = -10;                   // "FontHeight"
    int fontWeight = 400;                   // "FontWeight"
    int fontScript = 0;                     // "FontScript", character set, 0-255
    std::string fontName = "Ms Sans Serif"; // "FontName", at most 31 characters
    int hideWarnings = 0;                   // "HideWarnings", bit 1: no browser-unavailable warning
    int wizards = 1;                        // "Wizards", bit 1: new projects through the wizard
    bool remFind = true;                    // "RemFind"
    bool remUrl = true;                     // "RemURL"
    bool remBrowserUrl = true;              // "RemBrowserURL"
    bool remTemplateFileNames = true;       // "RemTemplateFileNames"
    bool useLngFile = false;                // "UseLngFile"
    std::string lngFile;                    // "LngFile", relative to the program folder
    bool useTemplFile = false;              // "UseTemplFile"
    std::string templFile;                  // "TemplFile"
    int connType = 2;                       // "ConnType": 0 direct, 1 dial-up, 2 system settings
    std::string rasEntry;                   // "RasEntry"
    std::string rasUserId;                  // "RasUserID"
    std::string rasUserPsw;                 // "RasUserPsw", stored scrambled
    bool autoDisconn = false;               // "AutoDisconn"
    bool autoShutdown = false;              // "AutoShutdown"
    bool useTray = false;                   // "UseTray"
    int showWelcome = 1;                    // "ShowWelcome"
    int showFirstPage = 1;                  // "ShowFirstPage"
    int showTips = 1;                       // "ShowTips"
    int skinType = 5;                       // "SkinType"
    int skinStyle = 3;                      // "SkinStyle"
    bool useRibbonUi = true;                // "UseRibbonUI"
    bool useSkinFile = false;               // "UseSkinFile"
    std::string skinFile;                   // "SkinFile", relative to the program folder
    std::string lastDir;                    // "LastDir"
    std::string lastFilesDir;               // "LastFilesDir"
    std::string lastCopyDir;                // "LastCopyDir"
    int checkUpdates = 1;                   // "CheckUpdates"
    int checkInterval = 1;                  // "CheckInterval": 0 daily, 1 weekly, 2 monthly
    std::optional<CVQDate> versionUpdated;  // "VersionUpdated"; none = a check is due
    bool backupProject = true;              // "BackupProject"
    bool maximizedBrowser = false;          // "MaximizedBrowser"
    int copyPrTo = 1;                       // "CopyPrTo"
    std::string storageName;                // "StorageName"
    std::string readerDrive;            // "ReaderDrive", its first character is the drive letter
    bool noPacing = false;              // "NoPacing": no pause between chunks at speed level 10
    int projectWizardStartDownload = 0; // "ProjectWizardStartDownload" in "Installer_Settings"

    CVQWindowState window; // section "Desktop"

    // Section "ExOptions": up to ten entries each once read.
    std::vector<std::string> findList;         // "FindQuant", "Find01".."Find10"
    std::vector<std::string> urlList;          // "URLQuant", "URL01".."URL10"
    std::vector<std::string> browserUrlList;   // "BrowserURLQuant", ...
    std::vector<std::string> templateFileList; // "TemplateFileQuant", ...
};

namespace vq {

// Reverses the bytes and swaps the bits of each adjacent pair in every byte; its own inverse.
std::string ScramblePassword(std::string_view text);

// "MM/DD/YYYY" as "VersionUpdated" holds it: month 1-12, day 1-31, year 1970-3000, else none.
std::optional<CVQDate> ParseVersionDate(std::string_view text);

// The text "VersionUpdated" is written with: empty for no date or a year before 1970.
std::string FormatVersionDate(const std::optional<CVQDate>& date);

} // namespace vq
