// download, mirror and the desktop program's command line against loopback servers: exit codes,
// Ctrl+C, the settings given on the command line, and the contents file of a real copy.
#include "common/contents_file/contents_file.h"
#include "desktop/project/doc.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/http_test_server.h"
#include "tests/support/test_files.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

struct DownloadCommands : CliTest {
    DownloadCommands() {
        m_server.Raw().new_task_queue = [] { return new httplib::ThreadPool(16); };
    }
    ~DownloadCommands() override { m_server.Stop(); }

    // Pages p0.htm ... p(n-1).htm: page k links to pages 2k+1 and 2k+2; each answer waits first.
    void ServeSite(int pages, std::chrono::milliseconds delay = 0ms) {
        m_server.Get(R"(/p(\d+)\.htm)",
                     [pages, delay](const httplib::Request& req, httplib::Response& res) {
                         std::this_thread::sleep_for(delay);
                         const int k = std::stoi(req.matches[1]);
                         std::string body = "<html><head><title>Page " + std::to_string(k) +
                                            "</title></head><body>";
                         for (int child : {2 * k + 1, 2 * k + 2})
                             if (child < pages)
                                 body += "<a href=\"p" + std::to_string(child) + ".htm\">next</a> ";
                         res.set_content(body + "</body></html>", "text/html");
                     });
        ASSERT_TRUE(m_server.Start());
    }

    static CVQPrjSettings SettingsOf(const std::string& project, CVQDocTree* tree = nullptr) {
        CVQProgramOptions options;
        CVQDoc doc(options);
        doc.SetUserPresent(false);
        EXPECT_TRUE(doc.Load(project)) << project;
        if (tree)
            tree->TakeFrom(doc.Tree());
        return doc.Settings();
    }

    // The number of page requests the server has answered.
    std::size_t PageRequests() const {
        std::size_t n = 0;
        for (const auto& r : m_server.Requests())
            n += r.target.find(".htm") != std::string::npos;
        return n;
    }

    void WaitForRequests(std::size_t count) const {
        const auto end = std::chrono::steady_clock::now() + 30s;
        while (PageRequests() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(20ms);
        ASSERT_GE(PageRequests(), count);
    }

    CVQTestHttpServer m_server;
};

TEST_F(DownloadCommands, ExitCodesSayHowTheRunEnded) {
    ServeSite(15);
    const std::string url = m_server.Url("/p0.htm");
    const CVQCliResult done = Run({"mirror", url, "-o", "all", "--set", "VQ_THREADS=3"});
    EXPECT_EQ(done.code, 0) << done.err;
    EXPECT_THAT(done.out, HasSubstr("Completed... 15 files stored"));
    EXPECT_EQ(SettingsOf(Path("all/127.0.0.1.vqp")).runState, kRunCompleted);
    EXPECT_TRUE(fs::is_regular_file(Path("all/p14.htm")));

    const CVQCliResult limited =
        Run({"mirror", url, "-o", "some", "--set", "VQ_LIM_FQ=1", "--set", "VQ_MAX_FQ=4"});
    EXPECT_EQ(limited.code, 3) << limited.err;
    EXPECT_THAT(limited.out, HasSubstr("Number of Files exceeded the limit"));
    EXPECT_EQ(SettingsOf(Path("some/127.0.0.1.vqp")).runState, kRunStopped);

    const std::size_t before = m_server.Requests().size();
    const CVQCliResult refused = Run({"mirror", url, "-o", "none", "--set", "VQ_THREADS=0"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_THAT(refused.err, HasSubstr("VQ_THREADS takes 1-100"));
    EXPECT_EQ(m_server.Requests().size(), before) << "nothing is fetched for a refused setting";

    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(CVQTestHttpServer::UnusedPort()) + "/";
    const CVQCliResult unreachable = Run({"mirror", nowhere, "-o", "nowhere"});
    EXPECT_EQ(unreachable.code, 1) << "a copy without a single file is no success";
    EXPECT_THAT(unreachable.err, HasSubstr("Nothing could be downloaded"));

    EXPECT_EQ(Run({"download", "missing.vqp"}).code, 1);
}

// The first Ctrl+C is the Stop command: the project is saved stopped and the next run continues
// it; what was stored is not fetched again.
TEST_F(DownloadCommands, CtrlCStopsAndTheNextRunContinues) {
    ServeSite(40, 150ms);
    ASSERT_EQ(Run({"new", m_server.Url("/p0.htm"), "-o", "slow.vqp", "--dir", "slow", "--set",
                   "VQ_THREADS=2"})
                  .code,
              0);
    auto child = Cli({"download", "slow.vqp"});
    ASSERT_TRUE(child->Start());
    WaitForRequests(5);
    child->Signal(SIGINT);
    EXPECT_EQ(child->Wait(), 4) << child->Stderr();
    EXPECT_THAT(child->Stderr(), HasSubstr("Stopping the download"));
    CVQDocTree tree;
    EXPECT_EQ(SettingsOf(Path("slow.vqp"), &tree).runState, kRunStopped);
    std::size_t stored = 0;
    tree.WalkPreOrder(nullptr, [&](CVQDocNode& n) {
        stored += n.status == kStatusDownloaded;
        return true;
    });
    EXPECT_GT(stored, 0u);
    EXPECT_LT(stored, 40u);

    const std::size_t fetched = PageRequests();
    const CVQCliResult rest = Run({"download", "slow.vqp"});
    EXPECT_EQ(rest.code, 0) << rest.err;
    EXPECT_EQ(SettingsOf(Path("slow.vqp")).runState, kRunCompleted);
    for (int k = 0; k < 40; ++k)
        EXPECT_TRUE(fs::is_regular_file(Path("slow/p" + std::to_string(k) + ".htm"))) << k;
    EXPECT_LE(PageRequests(), fetched + 40 - stored + 2) << "stored pages are not fetched again";
}

TEST_F(DownloadCommands, ASecondCtrlCEndsAtOnceAndTheProjectStillOpens) {
    ServeSite(40, 400ms);
    ASSERT_EQ(Run({"new", m_server.Url("/p0.htm"), "-o", "slow.vqp", "--dir", "slow"}).code, 0);
    auto child = Cli({"download", "slow.vqp"});
    ASSERT_TRUE(child->Start());
    WaitForRequests(2);
    child->Signal(SIGINT);
    child->Signal(SIGINT);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(child->Wait(5s), 4);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    CVQProgramOptions options;
    CVQDoc doc(options);
    doc.SetUserPresent(false);
    EXPECT_TRUE(doc.Load(Path("slow.vqp")));
}

// The desktop program's command line: switches in any case, a quoted path with blanks, -E and
// -SHUT after the download, and Ctrl+C as Cancel in the shutdown countdown.
TEST_F(DownloadCommands, DesktopCommandLine) {
    ServeSite(3);
    ASSERT_EQ(Run({"new", m_server.Url("/p0.htm"), "-o", "My Site.vqp", "--dir", "copy"}).code, 0);
    const CVQCliResult nothing = Run({"My Site.vqp"});
    EXPECT_EQ(nothing.code, 0);
    EXPECT_EQ(m_server.Requests().size(), 0u);

    const std::string marker = Path("powered-off");
    auto child = Cli({"-d", "My Site.vqp", "-e", "-Shut"});
    child->SetEnv("VELLOQUIN_SHUTDOWN_COMMAND", "touch " + marker);
    ASSERT_TRUE(child->Start());
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (child->Stdout().find("Shuting system down in 10 seconds") == std::string::npos &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    child->Signal(SIGINT);
    EXPECT_EQ(child->Wait(), 0) << child->Stderr();
    EXPECT_THAT(child->Stdout(), HasSubstr("Cancelled."));
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(fs::is_regular_file(Path("copy/p2.htm")));
    EXPECT_EQ(SettingsOf(Path("My Site.vqp")).runState, kRunCompleted);
}

// The contents file of a downloaded copy names every stored file where the copier puts it.
TEST_F(DownloadCommands, ContentsFileOfADownloadedCopy) {
    ServeSite(7);
    ASSERT_EQ(Run({"mirror", m_server.Url("/p0.htm"), "-o", "site"}).code, 0);
    fs::create_directories(Path("card"));
    ASSERT_EQ(Run({"export-contents", "site/127.0.0.1.vqp", "card"}).code, 0);
    CVQContentsFile file;
    ASSERT_TRUE(file.Open(Path("card/127.0.0.1.vqx")));
    int present = 0;
    for (const CVQContentsRecord& r : file.Records()) {
        if (r.status != kStatusDownloaded)
            continue;
        ++present;
        const std::string resolved = ResolveContentsPath(r.localPath, Path("card"));
        const std::string prefix = Path("card/127.0.0.1/");
        ASSERT_EQ(resolved.rfind(prefix, 0), 0u) << r.localPath;
        EXPECT_TRUE(fs::is_regular_file(Path("site/" + resolved.substr(prefix.size()))))
            << r.localPath;
    }
    EXPECT_EQ(present, 7);
    EXPECT_EQ(file.Records()[0].title, "127.0.0.1");
}

} // namespace
