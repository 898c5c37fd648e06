// The response check: group and name from the content type, the download-type and preview
// shortcuts, the size and disk-space limits, and the unchanged test.
#include "desktop/net/response_check.h"

#include "desktop/address/save_directory.h"
#include "desktop/net/content_type.h"
#include "desktop/net/file_writer.h"
#include "desktop/project/doc_node.h"
#include "desktop/project/download_state.h"
#include "desktop/project/file_class.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/size_limits.h"

namespace {

// The local file's length and time agree with the answer: the file is unchanged.
bool IsUnchanged(const CVQResponseFacts& facts, const CVQCheckContext& context,
                 const std::string& localPath) {
    const std::optional<std::uint64_t> length = vq::FileLength(localPath);
    const std::optional<std::int64_t> time = vq::FileModificationTime(localPath);
    if (!length || !time)
        return false;
    const std::uint64_t reference = context.knownSize != 0 ? context.knownSize : *length;
    const bool timesAgree = !facts.lastModified ||
                            (*time - *facts.lastModified <= 1 && *facts.lastModified - *time <= 1);
    return timesAgree && reference == facts.size.value_or(0);
}

} // namespace

namespace vq {

CVQResponseVerdict CheckResponse(const CVQResponseFacts& facts, const CVQCheckContext& context,
                                 const std::string& localPath) {
    const CVQPrjSettings& settings = context.settings;
    CVQResponseVerdict verdict;
    verdict.localPath = localPath;
    const int expectedGroup = ClassifyExtension(settings, PathExtension(localPath)).group;

    CVQContentKind kind;
    if (facts.ftp) {
        kind.isText = false;
    } else if (facts.contentType) {
        kind = KindFromContentType(settings, *facts.contentType);
    } else if (facts.contentDisposition) {
        kind = KindFromDisposition(settings, *facts.contentDisposition);
    } else {
        kind.isText = true;
    }
    verdict.nameReduced = kind.nameReduced;
    verdict.serverFileName = kind.fileName;
    verdict.group = kind.group;
    verdict.contentClass = kind.contentClass;
    verdict.isPage = kind.isText && kind.group == kGroupHtml;

    if (kind.group != 0 && kind.group != expectedGroup && IsSafeExtension(kind.extension)) {
        verdict.localPath = RenameByType(localPath, kind.extension);
        verdict.renamed = verdict.localPath != localPath;
    }

    const bool checked =
        context.downloadType != kDownloadSelected && !(verdict.isPage && settings.dirStr == 2);
    if (checked) {
        if (context.preview && kind.group != kGroupHtml) {
            verdict.disposition = kDispDone;
            return verdict;
        }
        // An unknown size passes the limits: nothing says the file is too large or too small.
        if (kind.group != kGroupHtml && facts.size) {
            const CVQFileClass cls = ClassifyExtension(settings, PathExtension(verdict.localPath));
            verdict.skipReason = SizeLimitVerdict(settings, cls.entry, *facts.size);
            if (verdict.skipReason != 0) {
                verdict.disposition = kDispRefused;
                verdict.log = verdict.skipReason == kSkipTooBig ? CVQResponseVerdict::kExceedsLimit
                                                                : CVQResponseVerdict::kTooSmall;
                return verdict;
            }
        }
        if (settings.limDs != 0 && static_cast<double>(context.bytesStored) > settings.maxDs) {
            verdict.disposition = kDispRefused;
            return verdict;
        }
        // A partial file being continued is never the unchanged whole one.
        if (!context.resumed) {
            const bool unchanged =
                settings.uMethod == 0   ? IsUnchanged(facts, context, verdict.localPath)
                : settings.uMethod == 2 ? FileLength(verdict.localPath).has_value()
                                        : false;
            if (unchanged) {
                verdict.disposition = kDispDone;
                verdict.note = CVQResponseVerdict::kUnchanged;
                return verdict;
            }
        }
        // The browser cache has no readable stand-in here: a look-up never finds the file.
    }
    verdict.note = CVQResponseVerdict::kDownloading;
    return verdict;
}

} // namespace vq
