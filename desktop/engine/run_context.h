// What the control thread and the workers of one running download share: the project, the
// run's request and hooks, the next-node choice, the worker slots and the wake-ups.
#pragma once

#include "desktop/engine/engine_hooks.h"
#include "desktop/engine/engine_options.h"
#include "desktop/engine/next_node.h"
#include "desktop/net/cookie_store.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class CVQDoc;

class CVQRunContext {
public:
    static constexpr int kMaxWorkers = 100;

    CVQRunContext(CVQDoc& doc, const CVQEngineOptions& options, const CVQEngineHooks& hooks,
                  const CVQStartRequest& request, CVQNextNode& nextNode);
    ~CVQRunContext();
    CVQRunContext(const CVQRunContext&) = delete;
    CVQRunContext& operator=(const CVQRunContext&) = delete;

    CVQDoc& Doc() { return m_doc; }
    const CVQEngineOptions& Options() const { return m_options; }
    const CVQEngineHooks& Hooks() const { return m_hooks; }
    const CVQStartRequest& Request() const { return m_request; }
    CVQNextNode& NextNode() { return m_nextNode; }
    CVQCookieStore& Cookies() { return m_cookies; }
    bool SpecialType() const;
    // The files total of the panel for the special types: the nodes chosen at the start.
    void SetChosenCount(std::uint64_t count) { m_chosen = count; }
    void SendTotals();

    // Sleeps up to ms; false at once when the stop request is set.
    bool Sleep(int ms);
    // An idle worker's wait: up to ms, shorter when work may have come or the run ends.
    void WaitForWork(int ms);
    // A worker finished a node (it may have added nodes) or the run is ending: idle workers look.
    void WakeUp();
    // The stop request was set: every wait ends.
    void WakeAll();

    // Worker slots. A reserved slot counts as a worker that exists and is busy until it runs.
    bool Reserve(int index);
    // A reserved slot that will not be launched (the download stopped first).
    void Unreserve(int index);
    void Launch(int index, std::string startAddress);
    void Ended(int index);
    // Whether a worker other than self exists without its idle flag; under the queue lock.
    bool OthersBusy(int self) const;
    void Join(int index);
    void JoinAll();
    bool AnyAlive() const;

private:
    enum class VQSlot { kEmpty, kReserved, kRunning, kEnded };

    CVQDoc& m_doc;
    const CVQEngineOptions& m_options;
    const CVQEngineHooks& m_hooks;
    CVQStartRequest m_request;
    CVQNextNode& m_nextNode;
    CVQCookieStore m_cookies;
    std::uint64_t m_chosen = 0;

    // Sleeps wait for the stop alone, idle workers for work too: a finished node does not wake
    // every sleeping worker.
    std::mutex m_waitLock;
    std::condition_variable m_stopWake;
    std::condition_variable m_workWake;
    std::uint64_t m_wakeSerial = 0;

    mutable std::mutex m_slotLock;
    std::array<VQSlot, kMaxWorkers> m_slots{};
    std::array<std::thread, kMaxWorkers> m_threads;
};
