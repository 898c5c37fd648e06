// One download of an open project in the terminal: the engine started without a user, the
// progress line, Ctrl+C as Stop, the auto-save timer, the project saved at the end and the exit
// code the end gives.
#pragma once

#include "cli/interrupt_guard.h"
#include "desktop/engine/engine_hooks.h"
#include "desktop/engine/engine_options.h"

#include <string>

class CVQDoc;
class CVQTerminalObserver;
struct CVQCliContext;

struct CVQDownloadRunResult {
    int exitCode = 1;
    bool started = false;
    bool stoppedByUser = false; // Ctrl+C
    CVQDownloadOutcome outcome;
};

// Ctrl+C is the run's Stop from the object's construction to its end, the follow-up of the
// download included.
class CVQDownloadRun {
public:
    CVQDownloadRun(const CVQCliContext& context, CVQDoc& doc, CVQTerminalObserver& observer);

    // 1-10 after the start (the engine starts every download at 10); 0 leaves it.
    void SetSpeedLevel(int level) { m_speedLevel = level; }

    // Runs the download to its end and saves the project.
    CVQDownloadRunResult Run(CVQStartRequest request);

    // Counts the seconds down on the terminal; false when a Ctrl+C cancelled the count.
    bool Countdown(int seconds, const std::string& text);

private:
    std::string Summary();

    const CVQCliContext& m_context;
    CVQDoc& m_doc;
    CVQTerminalObserver& m_observer;
    CVQInterruptGuard m_guard;
    int m_speedLevel = 0;
};
