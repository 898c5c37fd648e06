// The shared state of a running download: waits that a stop ends at once, and worker slots.
#include "desktop/engine/run_context.h"

#include "desktop/engine/download_worker.h"
#include "desktop/project/doc.h"

#include <chrono>

CVQRunContext::CVQRunContext(CVQDoc& doc, const CVQEngineOptions& options,
                             const CVQEngineHooks& hooks, const CVQStartRequest& request,
                             CVQNextNode& nextNode)
    : m_doc(doc), m_options(options), m_hooks(hooks), m_request(request), m_nextNode(nextNode) {
    m_slots.fill(VQSlot::kEmpty);
}

CVQRunContext::~CVQRunContext() {
    JoinAll();
}

bool CVQRunContext::SpecialType() const {
    return IsSpecialDownload(m_doc.Run().downloadType);
}

void CVQRunContext::SendTotals() {
    const CVQDownloadState& run = m_doc.Run();
    CVQDownloadTotals totals;
    totals.found = SpecialType() ? m_chosen : m_doc.Tree().NodeCount();
    totals.processed = run.filesHandled;
    totals.downloaded = run.filesStored;
    totals.filtered = run.filesFiltered;
    totals.errors = run.filesFailed;
    totals.bytesStored = run.bytesStored;
    m_doc.Totals(totals);
}

bool CVQRunContext::Sleep(int ms) {
    std::unique_lock lock(m_waitLock);
    return !m_stopWake.wait_for(lock, std::chrono::milliseconds(ms),
                                [this] { return m_doc.Run().stopRequest.load(); });
}

void CVQRunContext::WaitForWork(int ms) {
    std::unique_lock lock(m_waitLock);
    const std::uint64_t serial = m_wakeSerial;
    m_workWake.wait_for(lock, std::chrono::milliseconds(ms), [this, serial] {
        return m_wakeSerial != serial || m_doc.Run().stopRequest.load();
    });
}

void CVQRunContext::WakeUp() {
    {
        std::lock_guard lock(m_waitLock);
        ++m_wakeSerial;
    }
    m_workWake.notify_all();
}

void CVQRunContext::WakeAll() {
    WakeUp();
    // Taken so that a sleeper between its test of the stop request and its wait is not missed.
    { std::lock_guard lock(m_waitLock); }
    m_stopWake.notify_all();
}

bool CVQRunContext::Reserve(int index) {
    if (index < 0 || index >= kMaxWorkers)
        return false;
    std::thread finished;
    {
        std::lock_guard lock(m_slotLock);
        VQSlot& slot = m_slots[static_cast<std::size_t>(index)];
        if (slot == VQSlot::kReserved || slot == VQSlot::kRunning)
            return false;
        slot = VQSlot::kReserved;
        finished = std::move(m_threads[static_cast<std::size_t>(index)]);
    }
    // A worker that ended earlier in this run has returned or is about to.
    if (finished.joinable())
        finished.join();
    return true;
}

void CVQRunContext::Unreserve(int index) {
    std::lock_guard lock(m_slotLock);
    VQSlot& slot = m_slots[static_cast<std::size_t>(index)];
    if (slot == VQSlot::kReserved)
        slot = VQSlot::kEmpty;
}

void CVQRunContext::Launch(int index, std::string startAddress) {
    std::lock_guard lock(m_slotLock);
    const auto at = static_cast<std::size_t>(index);
    m_slots[at] = VQSlot::kRunning;
    m_threads[at] = std::thread([this, index, address = std::move(startAddress)]() mutable {
        CVQDownloadWorker worker(*this, index, std::move(address));
        worker.Run();
    });
}

void CVQRunContext::Ended(int index) {
    {
        std::lock_guard lock(m_slotLock);
        m_slots[static_cast<std::size_t>(index)] = VQSlot::kEnded;
    }
    WakeUp();
}

bool CVQRunContext::OthersBusy(int self) const {
    std::lock_guard lock(m_slotLock);
    for (int i = 0; i < kMaxWorkers; ++i) {
        if (i == self)
            continue;
        const VQSlot slot = m_slots[static_cast<std::size_t>(i)];
        const bool exists = slot == VQSlot::kReserved || slot == VQSlot::kRunning;
        if (exists && !m_doc.Run().idle[static_cast<std::size_t>(i)])
            return true;
    }
    return false;
}

bool CVQRunContext::AnyAlive() const {
    std::lock_guard lock(m_slotLock);
    for (VQSlot slot : m_slots)
        if (slot == VQSlot::kReserved || slot == VQSlot::kRunning)
            return true;
    return false;
}

void CVQRunContext::Join(int index) {
    std::thread thread;
    {
        std::lock_guard lock(m_slotLock);
        thread = std::move(m_threads[static_cast<std::size_t>(index)]);
    }
    if (thread.joinable())
        thread.join();
}

void CVQRunContext::JoinAll() {
    // Worker 0 may start workers until it ends; wait for it first.
    Join(0);
    for (int i = 1; i < kMaxWorkers; ++i)
        Join(i);
    std::lock_guard lock(m_slotLock);
    m_slots.fill(VQSlot::kEmpty);
}
