// Skip requests and counters of a running download.
#include "desktop/project/download_state.h"

bool CVQDownloadState::TakeSkipRequest(int worker) {
    if (worker < 0 || worker >= kMaxWorkers)
        return false;
    return skipRequests[static_cast<std::size_t>(worker)].exchange(false);
}

void CVQDownloadState::RequestSkip(int worker) {
    if (worker >= 0 && worker < kMaxWorkers)
        skipRequests[static_cast<std::size_t>(worker)] = true;
}

void CVQDownloadState::ClearWorkerSlots() {
    for (auto& request : skipRequests)
        request = false;
    for (auto& flag : idle)
        flag = false;
}

void CVQDownloadState::ResetCounters() {
    filesStored = 0;
    filesHandled = 0;
    filesFailed = 0;
    filesFiltered = 0;
    bytesStored = 0;
    bytesAll = 0;
}
