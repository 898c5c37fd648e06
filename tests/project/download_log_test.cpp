#include "desktop/project/download_log.h"
#include "desktop/project/text_format.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_time.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

class DownloadLog : public ::testing::Test {
protected:
    void SetUp() override {
        vq::ForceClock24(1);
        m_log.SetPath(m_dir.File("site.log"));
    }
    void TearDown() override { vq::ForceClock24(-1); }

    CVQTempDir m_dir;
    CVQDownloadLog m_log;
};

TEST_F(DownloadLog, ScriptedRunsMatchTheLogText) {
    std::vector<std::string> panel;
    int cleared = 0;
    m_log.SetPanelSink([&](const std::string& entry) { panel.push_back(entry); });
    m_log.SetPanelClear([&] { ++cleared; });

    ASSERT_TRUE(m_log.Start(true)); // no file yet: no separator
    EXPECT_TRUE(m_log.Started(false, vq::test::LocalTime(14, 5, 9, 7)));
    EXPECT_TRUE(m_log.Text(" Error (HTTP code 404) - 'http://h.com/x.htm'"));
    EXPECT_TRUE(m_log.Stopped(false, vq::test::LocalTime(14, 35, 0, 7), 1));
    EXPECT_TRUE(m_log.Summary(12, 1536));

    ASSERT_TRUE(m_log.Start(true));
    m_log.Started(true, vq::test::LocalTime(9, 0, 0, 8));
    m_log.Completed(true, vq::test::LocalTime(9, 1, 30, 8));
    m_log.Summary(0, 0);

    EXPECT_EQ(vq::test::ReadFile(m_log.Path()),
              vq::test::ReadFile(vq::test::DataPath("project/scripted.log")));
    EXPECT_EQ(cleared, 2);
    ASSERT_EQ(panel.size(), 7u);
    EXPECT_EQ(panel[0], "Download is Started (14:05:09, March 7, 2026)\r\n");
}

TEST_F(DownloadLog, StartWithoutKeepingBeginsAFreshFile) {
    vq::test::WriteFile(m_log.Path(), "old run\r\n");
    ASSERT_TRUE(m_log.Start(false));
    m_log.Text("new");
    EXPECT_EQ(vq::test::ReadFile(m_log.Path()), "new\r\n");
}

TEST_F(DownloadLog, StopReasons) {
    const std::pair<int, const char*> cases[] = {
        {0, ""},
        {1, " - Number of Files exceeded the limit"},
        {2, " - Total Time exceeded the limit"},
        {3, " - Total Disk Space exceeded the limit"},
        {4, ""},
    };
    for (const auto& [reason, suffix] : cases) {
        m_log.Start(false);
        m_log.Stopped(false, vq::test::LocalTime(1, 2, 3, 7), reason);
        EXPECT_EQ(vq::test::ReadFile(m_log.Path()),
                  std::string("\r\nDownload is Stopped (1:02:03, March 7, 2026)") + suffix +
                      "\r\n");
    }
}

TEST_F(DownloadLog, PanelLoadsAtMostTheLimit) {
    const std::string note = "Note: The Log File is too big to be loaded completely.";
    const std::size_t fits = CVQDownloadLog::kPanelLimit - note.size() - 2;

    vq::test::WriteFile(m_log.Path(), std::string(fits, 'a'));
    EXPECT_EQ(m_log.LoadForPanel(), std::string(fits, 'a'));

    vq::test::WriteFile(m_log.Path(), std::string(fits, 'a') + "b");
    const std::string shown = m_log.LoadForPanel();
    EXPECT_EQ(shown, std::string(fits, 'a') + "\r\n" + note);
    EXPECT_EQ(shown.size(), CVQDownloadLog::kPanelLimit);

    std::filesystem::remove(m_log.Path());
    EXPECT_EQ(m_log.LoadForPanel(), "");
}

TEST_F(DownloadLog, EntriesOfManyWorkersNeverInterleave) {
    m_log.Start(false);
    const std::string line(200, 'x');
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i)
        workers.emplace_back([&] {
            for (int n = 0; n < 50; ++n)
                m_log.Text(line);
        });
    for (std::thread& worker : workers)
        worker.join();
    std::string expected;
    for (int i = 0; i < 400; ++i)
        expected += line + "\r\n";
    EXPECT_EQ(vq::test::ReadFile(m_log.Path()), expected);
}

TEST_F(DownloadLog, MoveToFollowsANewProjectName) {
    m_log.Start(false);
    m_log.Text("kept");
    const std::string renamed = m_dir.File("renamed.log");
    vq::test::WriteFile(renamed, "replaced");
    ASSERT_TRUE(m_log.MoveTo(renamed));
    EXPECT_EQ(m_log.Path(), renamed);
    EXPECT_EQ(vq::test::ReadFile(renamed), "kept\r\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("site.log")));
}

TEST_F(DownloadLog, WritesFailWithoutAFolder) {
    m_log.SetPath(m_dir.File("missing/site.log"));
    EXPECT_FALSE(m_log.Start(false));
    EXPECT_FALSE(m_log.Text("x"));
}

TEST(DownloadLogPath, FromProjectOrSaveDirectory) {
    EXPECT_EQ(CVQDownloadLog::PathFor("/p/My Site.vqp", "/save/", "T"), "/p/My Site.log");
    EXPECT_EQ(CVQDownloadLog::PathFor("", "/save", "My Site"), "/save/My Site.log");
    EXPECT_EQ(CVQDownloadLog::PathFor("", "/save/", "../../etc/x"), "/save/.._.._etc_x.log");
}

} // namespace
