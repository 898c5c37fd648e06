#include "desktop/engine/page_recorder.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"
#include "tests/engine/engine_fixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The stored files of a copy, without the report.
std::map<std::string, std::string> SiteFiles(const std::string& folder) {
    std::map<std::string, std::string> files = EngineTest::Files(folder);
    std::erase_if(files, [](const auto& f) { return f.first.starts_with("_VQReport"); });
    return files;
}

struct EngineSmallSite : EngineTest {
    EngineSmallSite() {
        Serve("/index.htm", Page({"a.htm", "b.htm", "img/logo.gif"}) +
                                "<link rel=stylesheet href=\"css/site.css\">");
        Serve("/a.htm", Page({"b.htm", "img/a.gif"}));
        Serve("/b.htm", Page({"index.htm", "c.htm"}));
        Serve("/c.htm", Page({"img/c.png"}));
        Serve("/css/site.css", "body { background: url(../img/bg.png) }", "text/css");
        for (const char* image : {"/img/logo.gif", "/img/a.gif", "/img/bg.png"})
            Serve(image, std::string("GIF89a ") + image, "image/gif");
        Serve("/img/c.png", "PNG c", "image/png");
        EXPECT_TRUE(m_server.Start());
        m_doc.Settings().startUrl = {m_server.Url("/index.htm")};
    }
};

TEST_F(EngineSmallSite, NewDownloadStoresTheSiteOnceAndCompletes) {
    Run();
    const std::map<std::string, std::string> files = SiteFiles(m_doc.SaveDirInUse());
    for (const char* name : {"index.htm", "a.htm", "b.htm", "c.htm", "css/site.css", "img/logo.gif",
                             "img/a.gif", "img/bg.png", "img/c.png"})
        EXPECT_TRUE(files.count(name)) << name;
    EXPECT_EQ(files.at("img/c.png"), "PNG c");
    EXPECT_EQ(files.size(), 9u);
    for (const char* target : {"/index.htm", "/b.htm", "/img/bg.png"})
        EXPECT_EQ(m_server.CountRequests(target), 1u) << target;

    int downloaded = 0;
    m_doc.Tree().WalkPreOrder(nullptr, [&](CVQDocNode& n) {
        if (n.kind != kNodeRoot) {
            EXPECT_EQ(n.status, kStatusDownloaded) << n.Address();
            ++downloaded;
        }
        return true;
    });
    EXPECT_EQ(downloaded, 9);
    EXPECT_EQ(m_doc.Tree().Root()->firstChild.load()->Address(), m_server.Url("/index.htm"));
    EXPECT_EQ(m_doc.Settings().runState, kRunCompleted);
    EXPECT_EQ(m_doc.Run().filesStored, 9u);
    EXPECT_EQ(m_user.LastStatus(), VQText(IDS_ENGINE_COMPLETED));
    const std::string log = LogText();
    EXPECT_NE(log.find("Download is Started ("), std::string::npos);
    EXPECT_NE(log.find("\r\nDownload is Completed ("), std::string::npos);
    EXPECT_NE(log.find("Summary:\r\n Number of Files: 9"), std::string::npos);
}

TEST_F(EngineSmallSite, OneWorkerFetchesEverythingItself) {
    m_doc.Settings().threads = 1;
    Run();
    const std::map<int, int> done = m_user.DoneByWorker();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done.begin()->first, 0);
    EXPECT_EQ(done.begin()->second, 9);
}

TEST_F(EngineSmallSite, OnlySelectedFilesAreFetchedAgain) {
    Run();
    m_server.ClearRequests();
    CVQDocNode* b = Node("/b.htm");
    b->selection = kSelSelected;
    Run(kDownloadSelected);
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/b.htm");
    EXPECT_EQ(b->status, kStatusDownloaded);
    EXPECT_EQ(b->selection & kSelSelected, 0);
}

TEST_F(EngineSmallSite, FilesThatFailedAreFetchedAgain) {
    m_doc.Settings().retries = 0;
    std::atomic<int> failures{1};
    m_server.Raw().set_pre_routing_handler(
        [&failures](const httplib::Request& req, httplib::Response& res) {
            if (req.path != "/c.htm" || failures <= 0)
                return httplib::Server::HandlerResponse::Unhandled;
            --failures;
            res.status = 503;
            return httplib::Server::HandlerResponse::Handled;
        });
    Run();
    CVQDocNode* c = Node("/c.htm");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->status, kStatusError);
    EXPECT_EQ(c->reason, 503);
    EXPECT_EQ(m_doc.Run().filesFailed, 1u);

    // Failing once more, the file is tried again within the same special download.
    failures = 1;
    m_doc.Settings().retries = 1;
    m_doc.SetUserPresent(true);
    m_user.chosenType = kDownloadFailed;
    CVQStartRequest request; // the user chooses among what the tree offers
    Start(request);
    m_engine->WaitUntilEnded();
    EXPECT_TRUE(m_user.offeredTypes & kDownloadFailed);
    EXPECT_EQ(c->status, kStatusDownloaded);
    EXPECT_EQ(failures, 0);
}

TEST_F(EngineSmallSite, AnIncompleteFileIsResumedFromItsStoredSize) {
    const std::string body(100000, 'z');
    m_server.Get("/big\\.zip", [body](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/zip");
    });
    Run();
    CVQDocNode* big =
        m_doc.Tree().AddNode(m_doc.Tree().Root(), CVQNodeInit{.kind = kNodeFile,
                                                              .address = m_server.Url("/big.zip"),
                                                              .group = vq::kGroupArchive,
                                                              .dirPosition = 0,
                                                              .level = 1,
                                                              .status = kStatusError});
    big->reason = kReasonIncomplete;
    const std::string path = SavePath("big.zip");
    {
        std::ofstream out(path, std::ios::binary);
        out << body.substr(0, 40000);
    }
    big->size = 40000;
    m_doc.Tree().SetLocalPath(big, path);
    m_server.ClearRequests();
    Run(kDownloadIncomplete);

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=40000-");
    EXPECT_EQ(Files(m_doc.SaveDirInUse()).at("big.zip"), body);
    EXPECT_EQ(big->status, kStatusDownloaded);
    EXPECT_EQ(big->reason, 0);
}

TEST_F(EngineSmallSite, PreviewScansPagesOnly) {
    CVQStartRequest preview = Unattended();
    preview.preview = true;
    Start(preview);
    m_engine->WaitUntilEnded();

    EXPECT_EQ(m_doc.Settings().runState, kRunPreviewCompleted);
    EXPECT_TRUE(SiteFiles(m_doc.SaveDirInUse()).empty()) << "no page stays on disk";
    for (const auto& request : m_server.Requests())
        EXPECT_TRUE(request.target.ends_with(".htm") || request.target.ends_with(".css"))
            << request.target;
    CVQDocNode* logo = Node("/img/logo.gif");
    ASSERT_TRUE(logo) << "the tree is complete";
    EXPECT_EQ(logo->status, kStatusFiltered);
    EXPECT_EQ(logo->reason, kSkipPreview);
    EXPECT_EQ(Node("/c.htm")->status, kStatusDownloading) << "a page read and not kept";
    EXPECT_NE(LogText().find("Preview is Completed ("), std::string::npos);

    // A new download after the preview asks whether its tree is to be started afresh.
    m_doc.Settings().trInit = 1;
    m_doc.SetUserPresent(true);
    m_user.answer = VQAnswer::No;
    CVQStartRequest again;
    again.type = kDownloadNew;
    ASSERT_TRUE(m_engine->Start(again));
    m_engine->WaitUntilEnded();
    const auto questions = m_user.Questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Do you want to initialize the Contents Tree?");
    EXPECT_EQ(Node("/img/logo.gif")->status, kStatusDownloaded) << "the tree was kept";
}

TEST_F(EngineSmallSite, DetailedPreviewFindsFilesWithoutFetchingThem) {
    m_doc.Settings().detPrev = 1;
    m_doc.Settings().keepHtml = 1;
    CVQStartRequest preview = Unattended();
    preview.preview = true;
    Start(preview);
    m_engine->WaitUntilEnded();
    const auto files = SiteFiles(m_doc.SaveDirInUse());
    EXPECT_TRUE(files.count("index.htm")) << "Keep HTML files";
    EXPECT_FALSE(files.count("img/logo.gif")) << "only its headers were asked for";
    EXPECT_EQ(Node("/img/logo.gif")->status, kStatusDownloading);
}

TEST_F(EngineSmallSite, AnOutdatedFileIsDeletedWhenTheServerLostIt) {
    Run();
    const std::string stored = SavePath("a.htm");
    ASSERT_TRUE(fs::exists(stored));
    m_server.Raw().set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path != "/a.htm")
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = 404;
        return httplib::Server::HandlerResponse::Handled;
    });
    Run();
    EXPECT_FALSE(fs::exists(stored));
    EXPECT_NE(LogText().find(" Local file '" + stored +
                             "' doesn't exist on the web site anymore and is deleted.\r\n"),
              std::string::npos);
    CVQDocNode* a = Node("/a.htm");
    EXPECT_EQ(a->status, kStatusError);
    EXPECT_EQ(a->reason, 404);
    EXPECT_TRUE(a->LocalPath().empty());

    // Without VQ_DELOUTDATED the old copy stays.
    const std::string b = SavePath("b.htm");
    m_server.Raw().set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path != "/b.htm")
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = 404;
        return httplib::Server::HandlerResponse::Handled;
    });
    m_doc.Settings().delOutdated = 0;
    Run();
    EXPECT_TRUE(fs::exists(b));
}

TEST_F(EngineTest, AFailingFileIsTriedThreeTimesTheLastWithoutItsSlash) {
    m_doc.Settings().retries = 2;
    Serve("/index.htm", Page({"dir/"}));
    std::vector<std::pair<std::string, Clock::time_point>> tries;
    std::mutex lock;
    m_server.Raw().set_pre_routing_handler(
        [&](const httplib::Request& req, httplib::Response& res) {
            if (!req.path.starts_with("/dir"))
                return httplib::Server::HandlerResponse::Unhandled;
            std::lock_guard guard(lock);
            tries.emplace_back(req.path, Clock::now());
            res.status = 500;
            return httplib::Server::HandlerResponse::Handled;
        });
    m_engine = std::make_unique<CVQDownloadEngine>(m_doc, [] {
        CVQEngineOptions options = FastOptions();
        options.retryPauseMs = CVQEngineOptions{}.retryPauseMs;
        return options;
    }());
    ASSERT_TRUE(m_server.Start());
    m_doc.Settings().startUrl = {m_server.Url("/index.htm")};
    Run();
    ASSERT_EQ(tries.size(), 3u);
    EXPECT_EQ(tries[0].first, "/dir/");
    EXPECT_EQ(tries[1].first, "/dir/");
    EXPECT_EQ(tries[2].first, "/dir");
    for (std::size_t i = 1; i < tries.size(); ++i)
        EXPECT_GE(tries[i].second - tries[i - 1].second, std::chrono::milliseconds(500));
    CVQDocNode* dir = Node("/dir");
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->status, kStatusError);
    EXPECT_EQ(dir->reason, 500);
    EXPECT_EQ(dir->Address(), m_server.Url("/dir")) << "the slash is gone for good";
}

struct EngineLargerSite : EngineTest {
    void SetUp() override {
        ServeSite(40, 5);
        ASSERT_TRUE(m_server.Start());
        m_doc.Settings().startUrl = {m_server.Url("/p0.htm")};
    }
};

struct LimitCase {
    const char* what;
    std::function<void(CVQPrjSettings&)> setup;
    int reason;
    const char* text;
};

TEST_F(EngineLargerSite, LimitsEndTheDownloadAsStopped) {
    const LimitCase cases[] = {
        {"files",
         [](CVQPrjSettings& s) {
             s.limFq = 1;
             s.maxFq = 10;
             s.threads = 5;
         },
         kStopFileCount, " - Number of Files exceeded the limit"},
        {"disk space",
         [](CVQPrjSettings& s) {
             s.limDs = 1;
             s.maxDs = 3000;
         },
         kStopDiskSpace, " - Total Disk Space exceeded the limit"},
        {"time",
         [](CVQPrjSettings& s) {
             s.limTime = 1;
             s.maxTime = 0;
         },
         kStopTime, " - Total Time exceeded the limit"},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_doc.Tree().CreateRoot("Site");
        fs::remove_all(m_doc.SaveDirInUse());
        m_doc.Settings().limFq = m_doc.Settings().limDs = m_doc.Settings().limTime = 0;
        c.setup(m_doc.Settings());
        if (c.reason == kStopTime) {
            m_slowPage = 1;
            m_slowMs = 1100;
        }
        Run();
        EXPECT_EQ(m_doc.Run().stopReason, c.reason);
        EXPECT_EQ(m_doc.Settings().runState, kRunStopped);
        EXPECT_EQ(m_user.LastStatus(), "Stopped" + std::string(c.text));
        const std::string log = LogText();
        EXPECT_NE(log.find(") " + std::string(c.text + 1) + "\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("\r\nDownload is Stopped ("), std::string::npos);
        EXPECT_LT(m_doc.Run().filesStored, 80u);
    }
    // "Continue previous download" is offered for a run ended by a limit.
    m_doc.SetUserPresent(true);
    m_user.chosenType = 0;
    EXPECT_EQ(m_engine->ChooseDownloadType(false), kDownloadContinue);
}

TEST_F(EngineLargerSite, ThreadCountChangesTakeEffectDuringTheRun) {
    m_doc.Settings().threads = 2;
    std::atomic<int> phase{0};
    std::atomic<int> doneAfterLowering[5] = {};
    const std::string done = VQText(IDS_ENGINE_ROW_DONE);
    m_user.onRow = [&](int worker, const CVQWorkerRow& row) {
        if (row.status != done)
            return;
        if (phase == 0 && worker == 0) {
            phase = 1;
            m_engine->SetThreadLimit(5);
        } else if (phase == 1 && worker == 4) {
            phase = 2;
            m_engine->SetThreadLimit(1);
        } else if (phase == 2) {
            ++doneAfterLowering[worker];
        }
    };
    Run();
    const std::map<int, int> byWorker = m_user.DoneByWorker();
    for (int w = 2; w < 5; ++w)
        EXPECT_TRUE(byWorker.count(w)) << "worker " << w << " was started";
    EXPECT_EQ(phase, 2);
    for (int w = 1; w < 5; ++w)
        EXPECT_LE(doneAfterLowering[w], 1) << "worker " << w << " ends after its current file";
    EXPECT_GT(doneAfterLowering[0], 0);
    EXPECT_EQ(m_doc.Run().filesStored, 80u);
}

TEST_F(EngineLargerSite, AStoppedDownloadContinuesToTheSameFiles) {
    Run();
    const std::map<std::string, std::string> whole = SiteFiles(m_doc.SaveDirInUse());
    ASSERT_EQ(whole.size(), 80u);

    m_doc.Settings().projectDir = m_dir.File("second") + "/";
    m_doc.Tree().CreateRoot("Site");
    m_user.onRow = [this](int, const CVQWorkerRow& row) {
        if (row.status == VQText(IDS_ENGINE_ROW_DONE) && m_user.Done() >= 25)
            m_engine->Stop();
    };
    Run();
    m_user.onRow = nullptr;
    EXPECT_EQ(m_doc.Settings().runState, kRunStopped);
    EXPECT_TRUE(m_doc.Run().stoppedByUser);
    EXPECT_LT(SiteFiles(m_doc.SaveDirInUse()).size(), 80u);

    Run(kDownloadContinue);
    EXPECT_EQ(m_doc.Settings().runState, kRunCompleted);
    EXPECT_EQ(SiteFiles(m_doc.SaveDirInUse()), whole);
}

TEST_F(EngineLargerSite, PausedWorkersStartNoNewFile) {
    std::atomic<bool> paused{false};
    m_user.onRow = [&](int, const CVQWorkerRow& row) {
        if (!paused && row.status == VQText(IDS_ENGINE_ROW_DONE)) {
            paused = true;
            m_engine->Pause(true);
        }
    };
    Start(Unattended());
    WaitFor(paused);
    // The transfers under way end (nothing new for 100 ms); after that nothing is requested.
    std::size_t during = 0;
    for (int i = 0; i < 50; ++i) {
        during = m_server.Requests().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (m_server.Requests().size() == during)
            break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(m_server.Requests().size(), during);
    EXPECT_LT(during, 80u);
    EXPECT_EQ(m_user.LastStatus(), VQText(IDS_ENGINE_PAUSED));
    EXPECT_TRUE(m_engine->IsRunning());
    m_engine->Pause(false);
    m_engine->WaitUntilEnded();
    EXPECT_EQ(m_doc.Run().filesStored, 80u);
}

TEST_F(EngineTest, ClosingDuringASlowTransferEndsWithinTheWaitAndLeavesNoPartialFile) {
    std::atomic<bool> sending{false};
    ServeSlowly("/slow.zip", sending);
    Serve("/index.htm", Page({"slow.zip"}));
    ASSERT_TRUE(m_server.Start());
    m_doc.Settings().startUrl = {m_server.Url("/index.htm")};
    ASSERT_TRUE(m_doc.Save(m_dir.File("site.vqp")));

    Start(Unattended());
    WaitFor(sending);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const auto start = Clock::now();
    m_engine->StopForClose();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(m_engine->IsRunning());

    EXPECT_EQ(m_doc.Settings().runState, kRunStopped);
    CVQDoc reopened(m_options);
    ASSERT_TRUE(reopened.Load(m_dir.File("site.vqp")));
    EXPECT_EQ(reopened.Settings().runState, kRunStopped) << "saved as stopped";
    EXPECT_FALSE(fs::exists(SavePath("slow.zip"))) << "no half-written file stays";
    EXPECT_EQ(Node("/slow.zip")->status, kStatusToAnalyze);
    // No lock of the project is left held.
    for (std::mutex* lock : {&m_doc.TreeLock(), &m_doc.QueueLock(), &m_doc.LinkLock()}) {
        ASSERT_TRUE(lock->try_lock());
        lock->unlock();
    }
}

} // namespace

namespace {

TEST_F(EngineSmallSite, ABranchDownloadTakesOnlyThatBranch) {
    Run();
    m_server.ClearRequests();
    CVQStartRequest request = Unattended();
    request.branch = Node("/a.htm");
    Start(request);
    m_engine->WaitUntilEnded();
    std::vector<std::string> targets;
    for (const auto& r : m_server.Requests())
        targets.push_back(r.target);
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, (std::vector<std::string>{"/a.htm", "/img/a.gif"}));
    EXPECT_EQ(Node("/c.htm")->status, kStatusDownloaded) << "outside the branch, left as it was";
}

struct RecordingAutoSync : CVQAutoSync {
    void Export(CVQDoc&) override { ++exports; }
    int exports = 0;
};

struct FailingDialUp : CVQDialUp {
    bool Connect(CVQDoc&, std::string& message) override {
        message = "no line";
        return false;
    }
};

TEST_F(EngineSmallSite, TheEndConvertsExportsAndTellsTheFrontEnd) {
    m_doc.Settings().convertWhenDwnld = 0;
    m_doc.Settings().autoSynchPr = 1;
    std::vector<std::string> steps;
    std::vector<CVQDownloadOutcome> outcomes;
    RecordingAutoSync sync;
    FailingDialUp dialUp;
    CVQEngineHooks& hooks = m_engine->Hooks();
    hooks.countdown = [&](int seconds, const std::string& text) {
        steps.push_back(text + " / " + std::to_string(seconds));
        return true;
    };
    hooks.convertLinks = [&](CVQDoc&) { steps.push_back("convert"); };
    hooks.autoSync = &sync;
    hooks.dialUp = &dialUp;
    hooks.downloadEnded = [&](const CVQDownloadOutcome& o) { outcomes.push_back(o); };

    CVQStartRequest request = Unattended();
    request.convert = true; // as the command line's -CONV asks
    Start(request);
    m_engine->WaitUntilEnded();
    EXPECT_EQ(steps, (std::vector<std::string>{"Converting Links in %d seconds / 0", "convert",
                                               "Synchronizing in %d seconds / 0"}));
    EXPECT_EQ(sync.exports, 1);
    EXPECT_NE(LogText().find("Dialer Error: no line\r\n"), std::string::npos);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].runState, kRunCompleted);
    EXPECT_FALSE(outcomes[0].stoppedByUser);
    EXPECT_TRUE(outcomes[0].unattended);

    // A cancelled countdown skips its step; a user's stop is told as such.
    steps.clear();
    hooks.countdown = [&](int, const std::string& text) {
        steps.push_back(text);
        return false;
    };
    m_user.onRow = [this](int, const CVQWorkerRow&) { m_engine->Stop(); };
    Start(request);
    m_engine->WaitUntilEnded();
    EXPECT_EQ(steps.size(), 2u);
    EXPECT_EQ(sync.exports, 1);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[1].stoppedByUser);
    EXPECT_EQ(outcomes[1].runState, kRunStopped);
}

TEST_F(EngineSmallSite, RecordingABrowsedPageStoresWhatItNeeds) {
    CVQPageRecorder recorder(m_doc);
    ASSERT_TRUE(recorder.Record(m_server.Url("/index.htm")));
    const auto files = SiteFiles(m_doc.SaveDirInUse());
    for (const char* name : {"index.htm", "img/logo.gif", "css/site.css", "img/bg.png"})
        EXPECT_TRUE(files.count(name)) << name;
    EXPECT_FALSE(files.count("a.htm")) << "a linked page is not part of the page";
    EXPECT_EQ(files.at("img/bg.png"), "GIF89a /img/bg.png");
    CVQDocNode* index = Node("/index.htm");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, kStatusDownloaded);
    EXPECT_EQ(index->parent.load(), m_doc.Tree().Root());
    EXPECT_EQ(Node("/a.htm")->status, kStatusToAnalyze);

    // Recording it again changes nothing and fetches only the page.
    m_server.ClearRequests();
    ASSERT_TRUE(recorder.Record(m_server.Url("/index.htm")));
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_FALSE(recorder.Record(m_server.Url("/missing.htm")));
}

} // namespace

namespace {

TEST_F(EngineTest, TheClientJudgesRedirectTargetsByTheEnginesRules) {
    Serve("/index.htm", Page({"moved.htm", "here.htm"}));
    Serve("/kept.htm", Page({}));
    ASSERT_TRUE(m_server.Start());
    const std::string elsewhere =
        "http://localhost:" + std::to_string(m_server.Port()) + "/elsewhere.htm";
    m_server.Get("/moved\\.htm", [elsewhere](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(elsewhere, 301);
    });
    m_server.Get("/here\\.htm", [this](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(m_server.Url("/kept.htm"), 301);
    });
    m_doc.Settings().startUrl = {m_server.Url("/index.htm")};
    Run();
    int refused = 0;
    m_doc.Tree().WalkPreOrder(nullptr, [&](CVQDocNode& n) {
        if (n.Address() == elsewhere) {
            EXPECT_EQ(n.status, kStatusError);
            EXPECT_EQ(n.reason, -3) << "Url wasn't downloaded";
            ++refused;
        }
        return true;
    });
    EXPECT_EQ(refused, 1) << "another server, with VQ_OFFSITE 0";
    EXPECT_EQ(m_server.CountRequests("/elsewhere.htm"), 0u);
    EXPECT_TRUE(fs::exists(SavePath("here.htm"))) << "a target on the site is stored";
}

} // namespace

namespace {

TEST_F(EngineTest, EveryStartAddressOfTheListIsCopiedInTurn) {
    Serve("/a/start.htm", Page({"one.gif"}));
    Serve("/a/one.gif", "GIF one", "image/gif");
    Serve("/b/start.htm", Page({"two.gif", "../a/one.gif"}));
    Serve("/b/two.gif", "GIF two", "image/gif");
    ASSERT_TRUE(m_server.Start());
    CVQPrjSettings& s = m_doc.Settings();
    s.singleUrl = 0;
    s.down = 1; // each start address's own directory only
    s.startUrl = {m_server.Url("/a/start.htm"), m_server.Url("/b\\start.htm")};
    Run();
    const CVQDocNode* first = m_doc.Tree().Root()->firstChild;
    ASSERT_TRUE(first && first->next.load());
    EXPECT_EQ(first->Address(), m_server.Url("/a/start.htm"));
    EXPECT_EQ(first->next.load()->Address(), m_server.Url("/b/start.htm"));
    EXPECT_EQ(Node("/b/two.gif")->status, kStatusDownloaded);
    EXPECT_EQ(m_server.CountRequests("/a/one.gif"), 1u) << "found again from b, not fetched twice";
}

TEST_F(EngineTest, AbortingAFileGivesUpThatFileOnly) {
    std::atomic<bool> sending{false};
    ServeSlowly("/slow.zip", sending);
    Serve("/index.htm", Page({"slow.zip", "after.gif"}));
    Serve("/after.gif", "GIF after", "image/gif");
    ASSERT_TRUE(m_server.Start());
    m_doc.Settings().startUrl = {m_server.Url("/index.htm")};
    m_doc.Settings().threads = 1;
    Start(Unattended());
    WaitFor(sending);
    m_engine->Skip(0);
    m_engine->WaitUntilEnded();
    EXPECT_EQ(m_doc.Settings().runState, kRunCompleted);
    EXPECT_EQ(Node("/slow.zip")->status, kStatusError);
    EXPECT_EQ(Node("/after.gif")->status, kStatusDownloaded);
}

} // namespace
