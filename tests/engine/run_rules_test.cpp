#include "desktop/engine/download_limits.h"
#include "desktop/engine/download_type.h"
#include "desktop/engine/tree_counts.h"
#include "desktop/project/doc.h"

#include <ctime>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct RunRules : ::testing::Test {
    RunRules() : doc(options) {
        doc.Settings().startUrl = {"http://www.s.com/a/"};
        doc.Run().downloadType = kDownloadNew;
    }
    CVQProgramOptions options;
    CVQDoc doc;
};

TEST_F(RunRules, LimitsStopWithTheirReason) {
    const std::int64_t now = 2'000'000'000;
    struct Case {
        const char* what;
        std::function<void(CVQPrjSettings&, CVQDownloadState&)> setup;
        bool stop;
        int reason;
    };
    const auto files = [](unsigned limit, std::uint64_t stored, std::uint64_t handled) {
        return [=](CVQPrjSettings& s, CVQDownloadState& r) {
            s.limFq = 1;
            s.maxFq = limit;
            r.filesStored = stored;
            r.filesHandled = handled;
        };
    };
    const auto minutes = [now](unsigned limit, std::int64_t passed) {
        return [=](CVQPrjSettings& s, CVQDownloadState& r) {
            s.limTime = 1;
            s.maxTime = limit;
            r.startTime = now - passed;
        };
    };
    const auto space = [](double limit, std::uint64_t bytes) {
        return [=](CVQPrjSettings& s, CVQDownloadState& r) {
            s.limDs = 1;
            s.maxDs = limit;
            r.bytesStored = bytes;
        };
    };
    const Case cases[] = {
        {"nothing reached", files(10, 9, 9), false, kStopNone},
        {"files stored", files(10, 10, 3), true, kStopFileCount},
        {"files handled", files(10, 2, 10), true, kStopFileCount},
        {"the largest file limit", files(4294967295u, 4294967294u, 0), false, kStopNone},
        {"the largest file limit reached", files(4294967295u, 4294967295u, 0), true,
         kStopFileCount},
        {"exactly the time limit", minutes(1, 60), false, kStopNone},
        {"past the time limit", minutes(1, 61), true, kStopTime},
        {"the largest time limit", minutes(4294967295u, 1'000'000'000), false, kStopNone},
        {"exactly the disk space", space(1000, 1000), false, kStopNone},
        {"past the disk space", space(1000, 1001), true, kStopDiskSpace},
        {"a stop request", [](CVQPrjSettings&, CVQDownloadState& r) { r.stopRequest = true; }, true,
         kStopNone},
        {"special downloads have no limits",
         [files](CVQPrjSettings& s, CVQDownloadState& r) {
             files(1, 5, 5)(s, r);
             r.downloadType = kDownloadFailed;
         },
         false, kStopNone},
    };
    for (const Case& c : cases) {
        doc.Settings() = CVQPrjSettings();
        doc.Run().ResetCounters();
        doc.Run().stopRequest = false;
        doc.Run().downloadType = kDownloadNew;
        doc.Run().startTime = now;
        c.setup(doc.Settings(), doc.Run());
        int reason = -1;
        EXPECT_EQ(vq::LimitsSayStop(doc, now, reason), c.stop) << c.what;
        EXPECT_EQ(reason, c.reason) << c.what;
    }
}

TEST(DownloadType, TheDialogOffersWhatTheTreeHolds) {
    struct Case {
        const char* what;
        int runState;
        CVQTreeCounts counts;
        bool ask;
        int offered;
        int preselected;
    };
    const int newOnly = kDownloadNew;
    const int cont = kDownloadNew | kDownloadContinue;
    const Case cases[] = {
        {"a completed project", kRunCompleted, {}, false, 0, kDownloadNew},
        {"a stopped run", kRunStopped, {}, true, cont, kDownloadContinue},
        {"a run that never ended", kRunRunning, {}, true, cont, kDownloadContinue},
        {"nodes still to be analyzed",
         kRunCompleted,
         {.toAnalyze = true},
         true,
         cont,
         kDownloadContinue},
        {"selected nodes come first",
         kRunStopped,
         {.selected = 2},
         true,
         cont | kDownloadSelected,
         kDownloadSelected},
        {"failed and incomplete nodes",
         kRunCompleted,
         {.failed = 1, .incomplete = 1},
         true,
         newOnly | kDownloadFailed | kDownloadIncomplete,
         kDownloadNew},
    };
    for (const Case& c : cases) {
        const CVQDownloadTypeChoice choice = vq::DownloadTypeChoice(c.runState, c.counts);
        EXPECT_EQ(choice.ask, c.ask) << c.what;
        EXPECT_EQ(choice.offered, c.offered) << c.what;
        EXPECT_EQ(choice.preselected, c.preselected) << c.what;
    }
    EXPECT_EQ(vq::UnattendedDownloadType(kRunStopped), kDownloadContinue);
    EXPECT_EQ(vq::UnattendedDownloadType(kRunRunning), kDownloadContinue);
    EXPECT_EQ(vq::UnattendedDownloadType(kRunPreviewCompleted), kDownloadNew);
    EXPECT_EQ(vq::UnattendedDownloadType(kRunNever), kDownloadNew);
}

TEST_F(RunRules, TreeCountsAskTheFiltersOnlyForNodesLeftToDo) {
    CVQDocTree& tree = doc.Tree();
    const auto add = [&](const char* address, int status, int reason = 0,
                         std::uint16_t selection = 0, std::uint32_t size = 0) {
        CVQDocNode* n = tree.AddNode(tree.Root(), CVQNodeInit{.address = address,
                                                              .group = vq::kGroupHtml,
                                                              .level = 1,
                                                              .status = status,
                                                              .selection = selection});
        n->reason = reason;
        n->size = size;
        n->dirPosition = 0;
        return n;
    };
    add("http://www.s.com/a/1.htm", kStatusDownloaded, 0, 0, 10);
    add("http://www.s.com/a/2.htm", kStatusDownloaded, 0, kSelSelected, 20);
    add("http://www.s.com/a/3.htm", kStatusError, 404);
    add("http://www.s.com/a/4.htm", kStatusError, kReasonIncomplete);
    add("http://www.s.com/a/5.htm", kStatusFiltered, kSkipUrlFilter);
    CVQDocNode* offsite = add("http://elsewhere.com/6.htm", kStatusToAnalyze);
    offsite->dirPosition = kOtherServerPosition - 1;

    CVQTreeCounts counts = vq::CountTree(doc);
    EXPECT_EQ(counts.selected, 1u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_EQ(counts.incomplete, 1u);
    EXPECT_EQ(counts.downloaded, 2u);
    EXPECT_EQ(counts.downloadedBytes, 30u);
    EXPECT_FALSE(counts.toAnalyze) << "the only node left is on another server";
    EXPECT_EQ(offsite->status, kStatusToAnalyze) << "counting changes no node";

    add("http://www.s.com/a/7.htm", kStatusToCheck);
    EXPECT_TRUE(vq::CountTree(doc).toAnalyze);
}

} // namespace
