// The terminal front end's view of a project: messages on the error stream, log lines as they
// come, and one progress line during a download.
#pragma once

#include "desktop/project/doc_observer.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>

class CVQTerminalObserver : public CVQDocObserver {
public:
    using Clock = std::chrono::steady_clock;
    // Without a terminal a plain line is printed this often instead of a redrawn one.
    static constexpr std::chrono::seconds kPlainInterval{5};

    // terminal: the output is a terminal that understands "\r" and clearing to the end of a line.
    CVQTerminalObserver(std::ostream& out, std::ostream& err, bool terminal);

    // Whether standard output is such a terminal.
    static bool StdoutIsTerminal();

    // The answer to every question, for commands that must not change a project.
    void SetAnswer(VQAnswer answer) { m_answer = answer; }

    void ShowMessage(const std::string& text, VQIcon icon) override;
    VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer preselected) override;
    void LogLine(const std::string& line) override;
    void StatusText(const std::string& text) override;
    void Totals(const CVQDownloadTotals& totals) override;

    // A line of the program's own ("Converting Links in 5 seconds"), printed like a log line.
    void Line(const std::string& text) { LogLine(text); }
    // The engine's last status text ("Completed...", "Stopped - ...").
    std::string LastStatus();

    // The progress line of a download, from its start to its summary.
    void BeginProgress(Clock::time_point now);
    void Tick(Clock::time_point now);
    void EndProgress(const std::string& summary);

    // "12 of 40 files, 1 failed, 1.5 MB, 350.0 KB/s, 0:12".
    static std::string ProgressText(const CVQDownloadTotals& totals, double bytesPerSecond,
                                    std::chrono::seconds elapsed);
    // "0:07", "12:30", "1:02:03".
    static std::string ElapsedText(std::chrono::seconds elapsed);

private:
    void ClearLine();
    void DrawLine(Clock::time_point now);

    std::mutex m_lock;
    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_terminal;
    VQAnswer m_answer = VQAnswer::No;

    CVQDownloadTotals m_totals;
    std::string m_status;
    bool m_progress = false;
    bool m_lineShown = false;
    Clock::time_point m_start{};
    Clock::time_point m_lastPlain{};
    // Speed over the last few seconds: the bytes and time of the previous sample.
    Clock::time_point m_sampleTime{};
    std::uint64_t m_sampleBytes = 0;
    double m_speed = 0;
};
