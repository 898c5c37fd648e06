// The settings record of a project: what, how and how much to download, how to store, show and
// export the copy. Each field is named after its template key (VQ_THREADS -> threads).
#pragma once

#include "desktop/project/file_types.h"
#include "desktop/project/url_filter.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CVQProgramOptions;

// A plain record with value semantics. The default-constructed record holds the defaults that
// do not depend on the program options; Reset adds those (save directory, export defaults).
struct CVQPrjSettings {
    static constexpr std::size_t kMaxStartUrls = 100;

    CVQPrjSettings();

    // Every field back to its default, the URL filters cleared and each group's extension list
    // rebuilt from its tables, with the defaults the program options give.
    void Reset(const CVQProgramOptions& options);
    // The same with the documents folder given (for the save directory when the options name
    // none); the overload above reads it from the user's folders.
    void Reset(const CVQProgramOptions& options, std::string_view documentsDir);

    // Appends a start address. The 101st is refused: false, and *message (when given) holds the
    // text to show with the error icon. A list that is only the one empty entry of a new
    // project has that entry replaced.
    bool AddStartUrl(std::string_view url, std::string* message = nullptr);

    // The start addresses a download uses: only the first with VQ_SINGLE_URL on, else all.
    std::vector<std::string> DownloadUrls() const;

    // The extension list of a group bit; nullptr for a value that is not one group bit.
    CVQCustomArray* ExtList(int groupBit);
    const CVQCustomArray* ExtList(int groupBit) const;

    bool operator==(const CVQPrjSettings&) const = default;

    // 1. Start addresses.
    std::vector<std::string> startUrl{std::string()}; // VQ_START_URL, at most 100
    int singleUrl = 1;      // VQ_SINGLE_URL: 1 only the first address, 0 the whole list
    std::string userId;     // VQ_USER_ID
    std::string password;   // VQ_PASSWORD
    std::string projectDir; // VQ_PROJECT_DIR, may hold [%d] and [%t], ends in "/"
    std::string title;      // VQ_TITLE

    // 2. Speed, restrictions and types.
    int threads = 5;               // VQ_THREADS, 1-100
    int fileTypes = vq::kGroupAll; // VQ_FILE_TYPES, group mask
    int offsite = 0;               // VQ_OFFSITE: 0 the starting server only, 1 all servers
    int limDs = 0;                 // VQ_LIM_DS
    double maxDs = 104857600;      // VQ_MAX_DS, bytes
    int limFq = 0;                 // VQ_LIM_FQ
    unsigned maxFq = 1000;         // VQ_MAX_FQ, files
    int limMaxFs = 0;              // VQ_LIM_MAXFS
    double maxMaxFs = 1048576;     // VQ_MAX_MAXFS, bytes
    int limMinFs = 0;              // VQ_LIM_MINFS
    double maxMinFs = 0;           // VQ_MAX_MINFS, bytes
    int limTime = 0;               // VQ_LIM_TIME
    unsigned maxTime = 120;        // VQ_MAX_TIME, minutes

    // 3. Contents tree and viewing.
    int trUpdate = 3;           // VQ_TR_UPDATE: 0 off, 1 expand, 2 collapse, 3 initial (as 2)
    int reserved = 1;           // no key; kept in the project file only
    int trHtml = vq::kGroupAll; // VQ_TR_HTML: 1 only HTML files, 511 all files
    int trInit = 0;             // VQ_TR_INIT
    int trExtBr = 0;            // VQ_TR_EXTBR
    int trLimitF = 1;           // VQ_TR_LIMIT_F
    int trMaxF = 10000;         // VQ_TR_MAX_F, 0-100000
    int trStruct = 1;           // VQ_TR_STRUCT: 1 site structure, 0 site map
    int trOnlyD = 0;            // VQ_TR_ONLYD

    // 4. Storage, updating and connection.
    int dirStr = 0;          // VQ_DIRSTR: 0 relative, 1 based on URLs, 2 one directory
    int uMethod = 0;         // VQ_UMETHOD: 0 when changed, 1 always, 2 never
    int updLinks = 1;        // VQ_UPDLINKS: 0 none, 1 downloaded links, 2 all links
    int timeout = 60;        // VQ_TIMEOUT, seconds, 10-600
    int retries = 1;         // VQ_RETRIES, 0-100
    int limL = 0;            // VQ_LIM_L
    int maxL = 3;            // VQ_MAX_L, 0-32000
    int limOl = 1;           // VQ_LIM_OL
    int maxOl = 1;           // VQ_MAX_OL, 0-32000
    int down = 0;            // VQ_DOWN: 1 the starting directory and below
    int protocol = 15;       // VQ_PROTOCOL: http 1, https 2, ftp 4, file 8
    int detPrev = 0;         // VQ_DETPREV
    int keepHtml = 0;        // VQ_KEEPHTML
    int agentType = 0;       // no key (VQ_AGENTID), 0-9
    int agentVersion = 6000; // no key (VQ_AGENTID), browser version x 1000
    std::string agentText;   // no key (VQ_AGENTID), the user-defined identification
    int runState = 0;        // no key: 0 never run ... 4 running

    // 5. File filters: one extension list per group in kFileGroupOrder, then the URL filters.
    std::array<CVQCustomArray, vq::kFileGroupCount> fileExt; // VQ_FILE_EXT
    CVQUrlArray urlFilter;                                   // VQ_URL_FILTER

    // 6. Output and processing options.
    std::string downloadDirInUse;         // no key: the save directory of the last download
    std::string defFName = "default.htm"; // VQ_DEFFNAME
    int report = 0;                       // VQ_REPORT
    int renameHtml = 1;                   // VQ_RENAMEHTML
    int pageBreak = 1;                    // VQ_PAGEBREAK
    int htmlLogin = 0;                    // VQ_HTMLLOGIN
    int htmlForms = 0;                    // VQ_HTMLFORMS
    int keepLogFile = 0;                  // VQ_KEEPLOGFILE
    int encryptProjectFiles = 0;          // no key
    int encryptDownloadedFiles = 0;       // no key
    std::string privacyPassword;          // no key; never stored in the project file
    int fastParse = 1;                    // VQ_FASTPARSE
    int keepQuery = 0;                    // VQ_KEEPQUERY
    int downldPause = 0;                  // VQ_DOWNLDPAUSE, seconds, 0-3600
    int imageAlways = 1;                  // VQ_IMAGEALWAYS
    std::string refererUrl;               // VQ_REFERERURL
    int delOutdated = 1;                  // VQ_DELOUTDATED
    int checkCache = 1;                   // VQ_CHECKCACHE
    int renamedFiles = 0;                 // no key: a stored file got another extension
    int conversionScope = 0;  // no key: 1 only new files, 0 all; not in the project file
    int nonHtmlAlways = 0;    // VQ_NONHTMLALWAYS
    int convertWhenDwnld = 1; // VQ_CONVERTWHENDWNLD
    int customErrorPage = 1;  // VQ_CUSTOMERRORPAGE
    int retainFileNames = 0;  // no key; only with "One directory"

    // 7. Export, device and AutoSync.
    int autoSynchPr = 0;              // VQ_AUTOSYNCHPR
    int copyPrTo = 1;                 // VQ_COPYPRTO: 1 device, 2 card, 3 folder, 4 ZIP, 10 app
    std::string copyPrDirName;        // VQ_COPYPRDIRNAME: destination folder or archive name
    int copyProject = 1;              // VQ_COPYPROJECT
    int copyDownload = 1;             // VQ_COPYDOWNLOAD
    int exportSpare = 0;              // no key: the export int after VQ_COPYDOWNLOAD, unused
    std::string copyPrZipPassword;    // VQ_COPYPRZIPPASSWORD
    int fileTypeMask = vq::kGroupAll; // VQ_FILETYPEMASK
    std::string storageName;          // VQ_STORAGENAME
    char readerDrive = '\0';          // VQ_READERDRIVE, a drive letter or none
    int scaleLevel = 1;               // VQ_SCALELEVEL: 1 off, 2-5 reduce factor
    int prevScaleLevel = 1;           // no key: the previous reduce factor
    int scaleImages = 0;              // VQ_SCALEIMAGES

    // 8. Parser and download method.
    int htmlParser = 0;           // no key: 0 standard, 1 professional
    int analyzeJavaScript = 1;    // no key
    int processDhtmlEvents = 1;   // no key
    int replaceScriptedLinks = 0; // no key
    int convertFlashLinks = 0;    // no key
    int downloadMethod = 0;       // no key: 0 level by level, 1 branch by branch

    // 9. List export and final fields.
    char delimiter = ',';        // VQ_DELIMITER
    int nodeExportInfo = 1;      // VQ_NODEEXPORTINFO, column mask
    int exportAfterDownload = 0; // no key; stored, nothing acts on it
    int trPrExtBr = 1;           // VQ_TR_PR_EXTBR
    std::string appAddress;      // no key: the handheld app's address
    std::string appSyncId;       // no key: the project's upload identifier (decimal text)
};

namespace vq {

inline constexpr double kBytesPerMb = 1048576.0;
inline constexpr double kBytesPerKb = 1024.0;

// The dialog shows disk space in MB and file sizes in KB; the record holds bytes.
inline double MbFromBytes(double bytes) {
    return bytes / kBytesPerMb;
}
inline double BytesFromMb(double mb) {
    return mb * kBytesPerMb;
}
inline double KbFromBytes(double bytes) {
    return bytes / kBytesPerKb;
}
inline double BytesFromKb(double kb) {
    return kb * kBytesPerKb;
}

// The path with "/" at its end (none added to an empty path).
std::string DirectoryWithSlash(std::string_view path);

// A new project's save directory: the last chosen one, else "My Downloads" in the documents
// folder; always ending in "/".
std::string DefaultSaveDirectory(std::string_view lastFilesDir, std::string_view documentsDir);

// Whether a value read from a project or template file replaces the default; a value out of
// range leaves the default in place.
bool IsValidTimeout(long long stored);   // VQ_TIMEOUT: 10-600
bool IsValidRetries(long long stored);   // VQ_RETRIES: 0-100
bool IsValidFlag(long long stored);      // VQ_TR_EXTBR, VQ_DOWN, VQ_DETPREV, VQ_KEEPHTML,
                                         // VQ_TR_LIMIT_F: 0 or 1
bool IsValidAgentType(long long stored); // agent type: 0-9
bool IsValidRunState(long long stored);  // run state: 0-4

// Stored values that are taken in another form.
int ProtocolFromStored(long long stored); // VQ_PROTOCOL: 1-15, anything else 15
int LevelFromStored(unsigned storedWord); // VQ_MAX_L, VQ_MAX_OL: the word 65535 means 0
int TreeUpdateFromStored(int stored);     // VQ_TR_UPDATE: 3 becomes 2

} // namespace vq
