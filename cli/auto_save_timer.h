// The auto-save timer of a run: every "AutoSaveValue" minutes while "AutoSaveTime" is on.
#pragma once

#include <chrono>

struct CVQProgramOptions;

class CVQAutoSaveTimer {
public:
    using Clock = std::chrono::steady_clock;

    CVQAutoSaveTimer(const CVQProgramOptions& options, Clock::time_point start);
    // An interval of zero never comes due.
    CVQAutoSaveTimer(std::chrono::milliseconds interval, Clock::time_point start);

    // True once each time an interval has passed; the next interval starts then.
    bool Due(Clock::time_point now);
    std::chrono::milliseconds Interval() const { return m_interval; }

private:
    std::chrono::milliseconds m_interval;
    Clock::time_point m_next;
};
