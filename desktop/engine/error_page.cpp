// Classifying a file the browser could not open and writing the page that explains it.
#include "desktop/engine/error_page.h"

#include "desktop/address/address.h"
#include "desktop/address/save_directory.h"
#include "desktop/address/text_util.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/error_page_template.h"
#include "desktop/resources/string_table.h"
#include "platform/user_dirs.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <stdlib.h>
#include <unistd.h>

namespace {

constexpr std::string_view kFilePrefix = "file://";
constexpr std::string_view kErrorFolderInAddress = "localhost/_vqerror/";

struct CVQTexts {
    int bit;
    int reason;
    int advice;
};

// In the order in which the bits pick the texts.
constexpr CVQTexts kTexts[] = {
    {kErrDownloaded, IDS_ERRPAGE_REASON_DOWNLOADED, IDS_ERRPAGE_ADVICE_DOWNLOADED},
    {kErrFailed, IDS_ERRPAGE_REASON_FAILED, IDS_ERRPAGE_ADVICE_FAILED},
    {kErrOtherServer, IDS_ERRPAGE_REASON_OTHER_SERVER, IDS_ERRPAGE_ADVICE_OTHER_SERVER},
    {kErrUrlFilter, IDS_ERRPAGE_REASON_URL_FILTER, IDS_ERRPAGE_ADVICE_URL_FILTER},
    {kErrFileFilter, IDS_ERRPAGE_REASON_FILE_FILTER, IDS_ERRPAGE_ADVICE_FILE_FILTER},
    {kErrTooBig, IDS_ERRPAGE_REASON_TOO_BIG, IDS_ERRPAGE_ADVICE_TOO_BIG},
    {kErrTooSmall, IDS_ERRPAGE_REASON_TOO_SMALL, IDS_ERRPAGE_ADVICE_TOO_SMALL},
    {kErrPreview, IDS_ERRPAGE_REASON_PREVIEW, IDS_ERRPAGE_ADVICE_PREVIEW},
    {kErrOutsideStartDir, IDS_ERRPAGE_REASON_OUTSIDE, IDS_ERRPAGE_ADVICE_OUTSIDE},
    {kErrLevel, IDS_ERRPAGE_REASON_LEVEL, IDS_ERRPAGE_ADVICE_LEVEL},
    {kErrDownloading, IDS_ERRPAGE_REASON_DOWNLOADING, IDS_ERRPAGE_ADVICE_DOWNLOADING},
    {kErrNoNode, IDS_ERRPAGE_REASON_NOT_FOUND, IDS_ERRPAGE_ADVICE_NOT_FOUND},
    {kErrNotDownloadedYet, IDS_ERRPAGE_REASON_NOT_YET, IDS_ERRPAGE_ADVICE_NOT_YET},
};

const CVQTexts& TextsFor(int bits) {
    for (const CVQTexts& texts : kTexts)
        if ((bits & texts.bit) != 0)
            return texts;
    static constexpr CVQTexts kNotFound{kErrNoNode, IDS_ERRPAGE_REASON_NOT_FOUND,
                                        IDS_ERRPAGE_ADVICE_NOT_FOUND};
    return kNotFound;
}

// The local path a browsed text names: an absolute path, or the path of a "file:" address.
std::optional<std::string> LocalPathOf(std::string_view text) {
    if (!text.empty() && text.front() == '/')
        return std::string(text);
    if (!vq::StartsWithIgnoreCase(text, kFilePrefix))
        return std::nullopt;
    text.remove_prefix(kFilePrefix.size());
    if (vq::StartsWithIgnoreCase(text, "localhost/"))
        text.remove_prefix(9);
    if (text.empty() || text.front() != '/')
        return std::nullopt;
    return vq::PercentDecoded(text.substr(0, text.find_first_of("?#")));
}

std::string RemoveAllIgnoreCase(std::string text, std::string_view what) {
    for (std::size_t at = vq::FindIgnoreCase(text, what); at != std::string::npos;
         at = vq::FindIgnoreCase(text, what, at))
        text.erase(at, what.size());
    return text;
}

// The save directory the copy lies in, ending in "/".
std::string SaveDirectoryOf(const CVQDoc& doc) {
    std::string dir = doc.SaveDirInUse();
    if (dir.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        dir = ExpandDirectoryMacros(doc.Settings().projectDir, local);
    }
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

// The directory URL of the start address being downloaded (the first one between downloads).
std::string StartDirectoryOf(const CVQDoc& doc) {
    std::string dir = doc.StartDirUrl();
    if (dir.empty()) {
        const std::vector<std::string> urls = doc.Settings().DownloadUrls();
        if (!urls.empty() && !urls.front().empty())
            dir = vq::DirectoryUrl(urls.front());
    }
    return dir;
}

const CVQDocNode* FindByLocalPath(CVQDoc& doc, std::string_view path) {
    const std::lock_guard lock(doc.TreeLock());
    const CVQDocNode* root = doc.Tree().Root();
    for (const CVQDocNode* n = root; n; n = CVQDocTree::NextPreOrder(n, root))
        if (n != root && n->LocalPath() == path)
            return n;
    return nullptr;
}

int StatusBits(const CVQDocNode& node) {
    switch (node.status.load()) {
    case kStatusToAnalyze:
        return kErrNotDownloadedYet;
    case kStatusDownloading:
        return kErrDownloading;
    case kStatusDownloaded:
    case kStatusToCheck:
        return kErrDownloaded;
    case kStatusError:
        return kErrFailed;
    case kStatusFiltered: {
        const int reason = node.reason;
        return reason >= kSkipOtherServer && reason <= kSkipLevel ? kErrOtherServer << (reason - 1)
                                                                  : 0;
    }
    default:
        return 0;
    }
}

void ReplaceMarker(std::string& page, int marker, std::string_view value) {
    if (value.empty())
        return; // a browser takes the marker for an unknown tag
    const std::string name = "<VQ_HTML_ERROR_REPLACE_" + std::to_string(marker) + ">";
    for (std::size_t at = page.find(name); at != std::string::npos;
         at = page.find(name, at + value.size()))
        page.replace(at, name.size(), value);
}

} // namespace

CVQErrorPageInfo CVQErrorPage::Classify(CVQDoc& doc, std::string_view browsed) {
    CVQErrorPageInfo info;
    const std::string text(vq::TrimBlanks(browsed));
    const CVQDocNode* node = nullptr;
    if (const std::optional<std::string> path = LocalPathOf(text)) {
        const std::string saveDir = SaveDirectoryOf(doc);
        if (saveDir.size() > 1 && path->starts_with(saveDir)) {
            const std::string relative = path->substr(saveDir.size());
            info.onlineAddress = doc.Settings().dirStr == 1 ? "http://" + relative
                                                            : StartDirectoryOf(doc) + relative;
            node = doc.Tree().FindByAddress(info.onlineAddress);
        }
        // Names the mapping made up (a default name, a stored query, a hashed name, a file of
        // another server) are found by the file itself, whose node knows the real address.
        if (!node)
            node = FindByLocalPath(doc, *path);
        if (node) {
            const std::lock_guard lock(doc.TreeLock());
            if (!node->Address().empty())
                info.onlineAddress = node->Address();
        }
    } else {
        info.onlineAddress = RemoveAllIgnoreCase(text, kErrorFolderInAddress);
        if (!info.onlineAddress.empty())
            node = doc.Tree().FindByAddress(info.onlineAddress);
    }
    if (!info.onlineAddress.empty())
        info.bits |= kErrOnline;
    if (!node) {
        info.bits |= kErrNoNode;
        return info;
    }
    info.bits |= StatusBits(*node);
    info.errorCode = node->reason;
    info.level = node->level == kNoPosition ? 0 : node->level;
    info.offsite = node->dirPosition <= kOtherServerPosition;
    return info;
}

std::string CVQErrorPage::ReasonText(const CVQErrorPageInfo& info) {
    return VQText(TextsFor(info.bits).reason);
}

std::string CVQErrorPage::AdviceText(const CVQErrorPageInfo& info) {
    const CVQTexts& texts = TextsFor(info.bits);
    switch (texts.bit) {
    case kErrFailed:
        return VQFormat(texts.advice, info.errorCode);
    case kErrLevel:
        // A file on another server waits for the offsite limit, not for the main one.
        return VQFormat(info.offsite ? IDS_ERRPAGE_ADVICE_LEVEL_OFFSITE : IDS_ERRPAGE_ADVICE_LEVEL,
                        info.level);
    default:
        return VQText(texts.advice);
    }
}

std::string CVQErrorPage::PageText(const CVQErrorPageInfo& info) {
    std::string page(vq::ErrorPageTemplate());
    std::string link;
    if ((info.bits & kErrOnline) != 0 && !info.onlineAddress.empty()) {
        const std::string address = vq::HtmlEscape(info.onlineAddress);
        // Only an address the program downloads from may become a link: a "javascript:" one
        // would run in the page.
        link = vq::ProtocolPrefix(info.onlineAddress).empty()
                   ? address
                   : "<a href=\"" + address + "\">" + address + "</a>";
    }
    ReplaceMarker(page, 10, link);
    ReplaceMarker(page, 9, link.empty() ? std::string() : VQText(IDS_ERRPAGE_GO_ONLINE));
    ReplaceMarker(page, 8, AdviceText(info));
    ReplaceMarker(page, 7, VQText(IDS_ERRPAGE_WHAT_TO_DO));
    ReplaceMarker(page, 6, ReasonText(info));
    ReplaceMarker(page, 5, VQText(IDS_ERRPAGE_REASON));
    ReplaceMarker(page, 4, VQText(IDS_ERRPAGE_NOT_OFFLINE));
    ReplaceMarker(page, 3, VQText(IDS_ERRPAGE_TITLE));
    ReplaceMarker(page, 2, VQText(IDS_ERRPAGE_TITLE));
    ReplaceMarker(page, 1, VQText(IDS_ERRPAGE_CHARSET));
    return page;
}

std::optional<std::string> CVQErrorPage::Write(const CVQErrorPageInfo& info,
                                               const std::string& folder) {
    if (folder.empty() || !CreateDirectories(folder))
        return std::nullopt;
    std::string path = folder + "/vqXXXXXX.htm";
    const int fd = ::mkstemps(path.data(), 4);
    if (fd < 0)
        return std::nullopt;
    const std::string page = PageText(info);
    std::size_t written = 0;
    while (written < page.size()) {
        const ssize_t n = ::write(fd, page.data() + written, page.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (written != page.size() || !closed) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return path;
}

std::string CVQErrorPage::DefaultFolder() {
    return vq::ProgramDataFolder() + "/_VQerror";
}

namespace vq {

std::optional<std::string> NavigationErrorPage(CVQDoc& doc, std::string_view url,
                                               VQNavigationError error, const std::string& folder) {
    if (doc.Settings().customErrorPage == 0 || error == VQNavigationError::Other)
        return std::nullopt;
    const CVQErrorPageInfo info = CVQErrorPage::Classify(doc, url);
    if (info.bits == kErrNoNode)
        return std::nullopt;
    return CVQErrorPage::Write(info, folder.empty() ? CVQErrorPage::DefaultFolder() : folder);
}

} // namespace vq
