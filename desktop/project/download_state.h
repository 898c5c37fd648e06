// The state of a project's running download that the engine, the client and the parser share.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

enum VQDownloadType : int {
    kDownloadNew = 1,
    kDownloadContinue = 2,
    kDownloadSelected = 4,
    kDownloadFailed = 8,
    kDownloadIncomplete = 16,
};

// "Download only selected files", "... files that failed before", "... incomplete files".
constexpr bool IsSpecialDownload(int type) {
    return type == kDownloadSelected || type == kDownloadFailed || type == kDownloadIncomplete;
}

enum VQStopReason : int { kStopNone = 0, kStopFileCount = 1, kStopTime = 2, kStopDiskSpace = 3 };

enum VQRunState : int {
    kRunNever = 0,
    kRunStopped = 1,
    kRunCompleted = 2,
    kRunPreviewCompleted = 3,
    kRunRunning = 4,
};

class CVQDocNode;

// Flags and counters are atomics: each is read and written as one value, which is what the
// separate per-counter locks of the engine guard.
struct CVQDownloadState {
    static constexpr int kMaxWorkers = 100;

    std::atomic<int> downloadType{kDownloadNew};
    std::atomic<bool> preview{false};
    std::atomic<bool> branchMode{false};
    std::atomic<CVQDocNode*> branchNode{nullptr};
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequest{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> keepWaiting{false};
    std::atomic<bool> closing{false};       // the stop came from closing the project
    std::atomic<bool> stoppedByUser{false}; // kept after the run for the after-download actions
    std::atomic<int> stopReason{kStopNone};
    std::atomic<int> speedLevel{10};
    std::atomic<int> threadLimit{5}; // VQ_THREADS as the running download sees it
    std::atomic<int> startIndex{0};
    std::atomic<std::int64_t> startTime{0}; // seconds since the epoch

    std::array<std::atomic<bool>, kMaxWorkers> skipRequests{};
    std::array<std::atomic<bool>, kMaxWorkers> idle{};
    // Set while the conversion pass runs; a stop clears it, which ends the pass.
    std::atomic<bool> converting{false};

    std::atomic<std::uint64_t> filesStored{0};
    std::atomic<std::uint64_t> filesHandled{0};
    std::atomic<std::uint64_t> filesFailed{0};
    std::atomic<std::uint64_t> filesFiltered{0};
    std::atomic<std::uint64_t> bytesStored{0};
    std::atomic<std::uint64_t> bytesAll{0};

    // Reads a worker's skip request and clears it in the same step; indices above 99 never skip.
    bool TakeSkipRequest(int worker);
    void RequestSkip(int worker);
    void ClearWorkerSlots();
    void ResetCounters();
};
