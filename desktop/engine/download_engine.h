// The download engine of a project: starts a download of the chosen type, runs its control
// thread and workers, and stops, pauses and skips on the user's command.
#pragma once

#include "desktop/engine/engine_hooks.h"
#include "desktop/engine/engine_link_rules.h"
#include "desktop/engine/engine_options.h"
#include "desktop/engine/next_node.h"
#include "desktop/engine/tree_counts.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CVQDoc;
class CVQRunContext;

class CVQDownloadEngine {
public:
    // Installs the engine's link rules on the project; the engine must not outlive it.
    explicit CVQDownloadEngine(CVQDoc& doc, CVQEngineOptions options = {});
    // Stops a running download as closing the project does.
    ~CVQDownloadEngine();
    CVQDownloadEngine(const CVQDownloadEngine&) = delete;
    CVQDownloadEngine& operator=(const CVQDownloadEngine&) = delete;

    // Set before a download starts.
    CVQEngineHooks& Hooks() { return m_hooks; }
    // The conversion pass's rule for the parser (the conversion helper provides it).
    void SetConversionRule(CVQEngineLinkRules::ConversionRule rule);

    // "Start Download", "Download Branch", "Preview website", the scheduler and the command
    // line. Chooses the download type unless the request names one, prepares the tree and the
    // project on the calling thread (where questions are asked) and starts the control thread.
    // False when nothing started: a download runs, the user cancelled or the save directory
    // cannot be created.
    bool Start(CVQStartRequest request);
    // The type a start would use (0 when the user cancels the dialog).
    int ChooseDownloadType(bool unattended);

    // "Stop Download": every loop ends soon; the download ends as stopped.
    void Stop();
    // Closing the project or exiting: stops, waits for the download to end (at most the close
    // wait, polling), and when one was running sets the run state to 1 and saves the project.
    void StopForClose();
    // "Pause Download" and resuming.
    void Pause(bool paused);
    // "Abort File Download" for one worker's transfer.
    void Skip(int worker);
    // A changed VQ_THREADS during a download.
    void SetThreadLimit(int threads);

    bool IsRunning() const;
    // Returns once a started download has ended completely.
    void WaitUntilEnded();

    // The counts that decide which download commands are offered.
    CVQTreeCounts Counts();

private:
    bool Prepare(const CVQStartRequest& request, int type, std::vector<std::string>& startList);
    void PrepareTree(const CVQStartRequest& request, int type);
    void Control(std::vector<std::string> startList);
    void RunStartAddress(int index, const std::string& address);
    void Wake();

    CVQDoc& m_doc;
    CVQEngineOptions m_options;
    CVQEngineHooks m_hooks;
    CVQNextNode m_nextNode;
    CVQEngineLinkRules m_linkRules;

    std::thread m_control;
    std::atomic<bool> m_controlDone{true};
    CVQStartRequest m_request;
    std::mutex m_contextLock;
    std::unique_ptr<CVQRunContext> m_context;
};
