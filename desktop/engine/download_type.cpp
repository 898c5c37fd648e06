// Choosing the type of a download.
#include "desktop/engine/download_type.h"

#include "desktop/engine/tree_counts.h"
#include "desktop/project/download_state.h"

namespace vq {

namespace {

bool Unfinished(int runState) {
    return runState == kRunStopped || runState == kRunRunning;
}

} // namespace

int UnattendedDownloadType(int runState) {
    return Unfinished(runState) ? kDownloadContinue : kDownloadNew;
}

CVQDownloadTypeChoice DownloadTypeChoice(int runState, const CVQTreeCounts& counts) {
    CVQDownloadTypeChoice choice;
    const bool unfinished = Unfinished(runState);
    if (!unfinished && counts.selected == 0 && counts.failed == 0 && counts.incomplete == 0 &&
        !counts.toAnalyze)
        return choice;
    choice.ask = true;
    choice.offered = kDownloadNew;
    if (unfinished || counts.toAnalyze)
        choice.offered |= kDownloadContinue;
    if (counts.selected)
        choice.offered |= kDownloadSelected;
    if (counts.failed)
        choice.offered |= kDownloadFailed;
    if (counts.incomplete)
        choice.offered |= kDownloadIncomplete;
    if (choice.offered & kDownloadSelected)
        choice.preselected = kDownloadSelected;
    else if (choice.offered & kDownloadContinue)
        choice.preselected = kDownloadContinue;
    return choice;
}

} // namespace vq
