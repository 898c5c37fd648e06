// The progress line, log lines and summary of a run, and the auto-save timer.
#include "cli/auto_save_timer.h"
#include "cli/terminal_observer.h"
#include "desktop/project/program_options.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An observer whose run started at t0 with the given totals, and what it printed.
struct ObservedRun {
    explicit ObservedRun(bool terminal, CVQDownloadTotals totals) : observer(out, err, terminal) {
        observer.BeginProgress(t0);
        observer.Totals(totals);
    }
    std::ostringstream out, err;
    CVQTerminalObserver observer;
    const Clock::time_point t0{};
};

CVQDownloadTotals Totals(std::uint64_t processed, std::uint64_t found, std::uint64_t errors,
                         std::uint64_t bytes) {
    CVQDownloadTotals t;
    t.processed = processed;
    t.found = found;
    t.errors = errors;
    t.bytesStored = bytes;
    return t;
}

TEST(TerminalObserver, PlainOutputPrintsALineNowAndThenAndTheLogAsItComes) {
    ObservedRun run(false, Totals(3, 10, 1, 0));
    run.observer.Tick(run.t0 + 1s);
    EXPECT_EQ(run.out.str(), "") << "nothing before the first interval";
    run.observer.LogLine("http://x/gone.png 404\r\n");
    run.observer.Totals(Totals(12, 40, 1, 3 * 1536));
    run.observer.Tick(run.t0 + 5s);
    run.observer.EndProgress("Done.");
    EXPECT_EQ(run.out.str(), "http://x/gone.png 404\n"
                             "12 of 40 files, 1 failed, 4.5 KB, 921 bytes/s, 0:05\n"
                             "Done.\n");
    EXPECT_EQ(run.err.str(), "");
}

TEST(TerminalObserver, OnATerminalTheLineIsRedrawnAndMakesRoomForLogLines) {
    ObservedRun run(true, Totals(1, 2, 0, 10));
    run.observer.Tick(run.t0 + 1s);
    run.observer.LogLine("a failure");
    run.observer.ShowMessage("a message", VQIcon::Stop);
    run.observer.Tick(run.t0 + 2s);
    run.observer.EndProgress("Done.");
    EXPECT_EQ(run.out.str(), "\r\033[K1 of 2 files, 0 failed, 10 bytes, 0 bytes/s, 0:01"
                             "\r\033[Ka failure\n"
                             "\r\033[K1 of 2 files, 0 failed, 10 bytes, 0 bytes/s, 0:02"
                             "\r\033[KDone.\n");
    EXPECT_EQ(run.err.str(), "a message\n");
}

TEST(TerminalObserver, ElapsedTime) {
    EXPECT_EQ(CVQTerminalObserver::ElapsedText(7s), "0:07");
    EXPECT_EQ(CVQTerminalObserver::ElapsedText(750s), "12:30");
    EXPECT_EQ(CVQTerminalObserver::ElapsedText(3723s), "1:02:03");
}

TEST(AutoSaveTimer, EveryIntervalOnceAndNeverWhenOff) {
    CVQProgramOptions options;
    const Clock::time_point t0{};
    options.autoSaveValue = 5;
    CVQAutoSaveTimer every5(options, t0);
    EXPECT_FALSE(every5.Due(t0 + 4min + 59s));
    EXPECT_TRUE(every5.Due(t0 + 5min));
    EXPECT_FALSE(every5.Due(t0 + 6min));
    // A machine that slept through three intervals saves once.
    EXPECT_TRUE(every5.Due(t0 + 26min));
    EXPECT_FALSE(every5.Due(t0 + 29min));
    EXPECT_TRUE(every5.Due(t0 + 30min));

    options.autoSaveValue = 0;
    EXPECT_EQ(CVQAutoSaveTimer(options, t0).Interval(), 1min);
    options.autoSaveTime = false;
    CVQAutoSaveTimer off(options, t0);
    EXPECT_FALSE(off.Due(t0 + 1000min));
}

} // namespace
