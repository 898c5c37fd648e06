// When the running project is saved again.
#include "cli/auto_save_timer.h"

#include "desktop/project/program_options.h"

#include <algorithm>

namespace {

std::chrono::milliseconds IntervalOf(const CVQProgramOptions& options) {
    if (!options.autoSaveTime)
        return std::chrono::milliseconds::zero();
    // A stored value below one minute counts as one minute.
    return std::chrono::minutes(std::max(options.autoSaveValue, 1));
}

} // namespace

CVQAutoSaveTimer::CVQAutoSaveTimer(const CVQProgramOptions& options, Clock::time_point start)
    : CVQAutoSaveTimer(IntervalOf(options), start) {}

CVQAutoSaveTimer::CVQAutoSaveTimer(std::chrono::milliseconds interval, Clock::time_point start)
    : m_interval(interval), m_next(start + interval) {}

bool CVQAutoSaveTimer::Due(Clock::time_point now) {
    if (m_interval <= std::chrono::milliseconds::zero() || now < m_next)
        return false;
    // A long pause (a suspended machine) gives one save, not one per missed interval.
    while (m_next <= now)
        m_next += m_interval;
    return true;
}
