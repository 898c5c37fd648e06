// One worker of a running download: takes the next node, fetches it with its own client, lets
// its own parser add the links found, and records how it went.
#pragma once

#include "desktop/content/parser.h"
#include "desktop/net/inet.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class CVQDoc;
class CVQDocNode;
class CVQRunContext;

class CVQDownloadWorker {
public:
    // index 0 is the first worker: it begins with startAddress, starts the workers that are
    // missing and ends the run once nobody has work left.
    CVQDownloadWorker(CVQRunContext& run, int index, std::string startAddress);
    CVQDownloadWorker(const CVQDownloadWorker&) = delete;
    CVQDownloadWorker& operator=(const CVQDownloadWorker&) = delete;

    // The loop; returns when the worker ends.
    void Run();

private:
    // What one call of Download left behind.
    struct Attempt {
        std::string address;
        std::string localPath;
        bool ok = false;
        bool canRetry = false;
        bool interrupted = false;
        bool resume = false;        // out: the transfer stayed incomplete
        bool wasIncomplete = false; // the node was an incomplete download
        std::uint64_t knownSize = 0;
        int group = 0;
        int contentClass = 0;
    };

    void Begin();
    bool TakeNext();
    void Handle();
    void Succeeded(Attempt& attempt);
    void Failed(Attempt& attempt);
    void RetryLater(CVQDocNode& node);
    void RecordFailure(const Attempt& attempt);
    CVQDocNode* MakeStartNode(const Attempt& attempt);
    void DiscardPage(CVQDocNode& node);
    void DeleteOutdated(CVQDocNode& node);
    void ReportRow(const Attempt& attempt, int errorCode);
    void ShowRow(const std::string& address, const std::string& status, std::uint64_t size);
    void ClearRow();
    bool SpeedPause();
    bool PauseBetweenFiles();
    void StartMissingWorkers();
    std::string ParentAddress(const CVQDocNode& node) const;

    CVQRunContext& m_run;
    CVQDoc& m_doc;
    const int m_index;
    std::string m_startAddress;
    CVQInet m_inet;
    CVQParser m_parser;

    std::string m_address;
    CVQDocNode* m_node = nullptr;
    bool m_haveAddress = false;
    bool m_firstFile = true;
    std::optional<std::chrono::steady_clock::time_point> m_lastSuccess;
};

namespace vq {

// A start address as a worker fetches it: "http://" in front of an address without a protocol,
// "file://" in front of a local path.
std::string WithProtocol(std::string_view address);

} // namespace vq
