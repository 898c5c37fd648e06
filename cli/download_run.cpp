// The download loop of the terminal front end.
#include "cli/download_run.h"

#include "cli/auto_save_timer.h"
#include "cli/cli_context.h"
#include "cli/terminal_observer.h"
#include "desktop/engine/conversion.h"
#include "desktop/engine/download_engine.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTick{200};

std::string Number(std::uint64_t value) {
    return std::to_string(value);
}

} // namespace

CVQDownloadRun::CVQDownloadRun(const CVQCliContext& context, CVQDoc& doc,
                               CVQTerminalObserver& observer)
    : m_context(context), m_doc(doc), m_observer(observer) {}

bool CVQDownloadRun::Countdown(int seconds, const std::string& text) {
    const int interrupts = CVQInterruptGuard::Count();
    for (int left = seconds; left > 0; --left) {
        std::string line = text;
        if (const std::size_t at = line.find("%d"); at != std::string::npos)
            line.replace(at, 2, std::to_string(left));
        m_observer.Line(line);
        for (int step = 0; step < 10; ++step) {
            if (CVQInterruptGuard::Count() != interrupts) {
                m_observer.Line(VQText(IDS_CLI_CANCELLED));
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return true;
}

CVQDownloadRunResult CVQDownloadRun::Run(CVQStartRequest request) {
    CVQDownloadRunResult result;
    std::mutex outcomeLock;
    // The conversion outlives the engine that calls it.
    CVQConversion conversion(m_doc);
    CVQDownloadEngine engine(m_doc);
    conversion.Install(engine);
    CVQEngineHooks& hooks = engine.Hooks();
    hooks.countdown = [this](int seconds, const std::string& text) {
        return Countdown(seconds, text);
    };
    hooks.downloadEnded = [&](const CVQDownloadOutcome& outcome) {
        std::lock_guard lock(outcomeLock);
        result.outcome = outcome;
    };

    request.unattended = true;
    const int interrupts = CVQInterruptGuard::Count();
    if (!engine.Start(request)) {
        m_context.Fail(VQText(IDS_CLI_NOT_STARTED));
        return result;
    }
    result.started = true;
    if (m_speedLevel > 0)
        m_doc.Run().speedLevel = m_speedLevel;

    const Clock::time_point start = Clock::now();
    m_observer.BeginProgress(start);
    CVQAutoSaveTimer autoSave(m_context.options, start);
    while (engine.IsRunning()) {
        std::this_thread::sleep_for(kTick);
        const Clock::time_point now = Clock::now();
        m_observer.Tick(now);
        if (!result.stoppedByUser && CVQInterruptGuard::Count() != interrupts) {
            result.stoppedByUser = true;
            engine.Stop();
        }
        // The project's own save takes the tree lock and then the queue lock.
        if (autoSave.Due(now))
            m_doc.AutoSave();
    }
    engine.WaitUntilEnded();
    m_observer.EndProgress(Summary());

    // The run state is 1 after a stop, so that the next run continues where this one ended.
    if (!m_doc.Save()) {
        m_context.Fail(VQFormat(IDS_CLI_NOT_SAVED, m_doc.PathName().c_str()));
        result.exitCode = kExitError;
        return result;
    }
    std::lock_guard lock(outcomeLock);
    if (result.stoppedByUser)
        result.exitCode = kExitStopped;
    else if (result.outcome.stopReason != kStopNone)
        result.exitCode = kExitLimit;
    else if (result.outcome.runState == kRunStopped)
        result.exitCode = m_context.Fail(VQText(IDS_CLI_STOPPED_BY_FAILURE));
    else if (m_doc.Run().filesStored == 0 && m_doc.Run().filesFailed > 0)
        result.exitCode = m_context.Fail(VQText(IDS_CLI_NOTHING_STORED));
    else
        result.exitCode = kExitCompleted;
    return result;
}

std::string CVQDownloadRun::Summary() {
    const CVQDownloadState& run = m_doc.Run();
    const auto elapsed =
        std::chrono::seconds(std::max<std::int64_t>(0, std::time(nullptr) - run.startTime));
    return VQFormat(IDS_CLI_SUMMARY, m_observer.LastStatus().c_str(),
                    Number(run.filesStored).c_str(), vq::SizeText(run.bytesStored).c_str(),
                    Number(run.filesFailed).c_str(), Number(run.filesFiltered).c_str(),
                    CVQTerminalObserver::ElapsedText(elapsed).c_str());
}
