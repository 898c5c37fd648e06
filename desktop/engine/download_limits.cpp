// The limits of a running download.
#include "desktop/engine/download_limits.h"

#include "desktop/project/doc.h"

namespace vq {

bool LimitsSayStop(const CVQDoc& doc, std::int64_t now, int& reason) {
    reason = kStopNone;
    const CVQDownloadState& run = doc.Run();
    if (run.stopRequest)
        return true;
    if (IsSpecialDownload(run.downloadType))
        return false;
    const CVQPrjSettings& s = doc.Settings();
    // Unchanged files and files from the cache count as stored.
    if (s.limFq && (run.filesStored >= s.maxFq || run.filesHandled >= s.maxFq)) {
        reason = kStopFileCount;
        return true;
    }
    if (s.limTime && now - run.startTime > static_cast<std::int64_t>(s.maxTime) * 60) {
        reason = kStopTime;
        return true;
    }
    if (s.limDs && static_cast<double>(run.bytesStored.load()) > s.maxDs) {
        reason = kStopDiskSpace;
        return true;
    }
    return false;
}

} // namespace vq
