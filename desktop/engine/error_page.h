// The offline error page: when the integrated browser cannot open a file of the project, a page
// made from the program's template says why the file is not there and what to do.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class CVQDoc;

// Why a browsed file is missing, one bit each; the texts follow the first bit after kErrOnline.
enum VQErrorPageBit : int {
    kErrOnline = 1,      // the online address is known
    kErrDownloaded = 2,  // stored, but its links are not converted
    kErrFailed = 4,      // the download failed
    kErrOtherServer = 8, // skip reasons 1 to 8 follow, one bit each
    kErrUrlFilter = 16,
    kErrFileFilter = 32,
    kErrTooBig = 64,
    kErrTooSmall = 128,
    kErrPreview = 256,
    kErrOutsideStartDir = 512,
    kErrLevel = 1024,
    kErrDownloading = 2048,
    kErrNoNode = 4096,
    kErrNotDownloadedYet = 8192,
};

struct CVQErrorPageInfo {
    int bits = 0;
    std::string onlineAddress;
    int errorCode = 0;    // the node's error number (kErrFailed)
    int level = 0;        // the node's level (kErrLevel)
    bool offsite = false; // the node lies on another server than the starting one
};

// What the integrated browser reports.
enum class VQNavigationError {
    HttpNotFound,
    CannotConnect,
    ResourceNotFound,
    ObjectNotFound,
    Other
};

class CVQErrorPage {
public:
    // The classification of a browsed text: a local path (absolute, or a "file:" address) is
    // turned into the online address it was stored for; any other text is an address, with
    // "localhost/_vqerror/" taken out. The node is looked up by the address, then by the path.
    static CVQErrorPageInfo Classify(CVQDoc& doc, std::string_view browsed);

    // The reason and advice texts of the first bit that has them.
    static std::string ReasonText(const CVQErrorPageInfo& info);
    static std::string AdviceText(const CVQErrorPageInfo& info);

    // The template with its ten markers filled; an address is written as HTML text, and as a
    // link only when it is an http, https, ftp or file address.
    static std::string PageText(const CVQErrorPageInfo& info);

    // Writes the page as a new "vq*.htm" file in folder (created when missing); none when it
    // cannot be written.
    static std::optional<std::string> Write(const CVQErrorPageInfo& info,
                                            const std::string& folder);

    // "_VQerror" in the program's data folder.
    static std::string DefaultFolder();
};

namespace vq {

// The navigation-error hook of the integrated browser: the error page to show instead of the
// browser's own display, or none (the project shows no error pages, the error is of another
// kind, or nothing is known about the address). folder: where the page goes (the default folder
// when empty).
std::optional<std::string> NavigationErrorPage(CVQDoc& doc, std::string_view url,
                                               VQNavigationError error,
                                               const std::string& folder = {});

} // namespace vq
