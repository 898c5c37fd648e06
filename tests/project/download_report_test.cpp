#include "desktop/project/doc_node.h"
#include "desktop/project/download_report.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/report_logo.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_time.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

void SetNode(CVQDocNode& node, int group, int level) {
    node.group = group;
    node.level = level;
}

CVQReportRow Row(const CVQDocNode* node, std::string address, int errorCode, int disposition,
                 std::uint64_t size = 0) {
    CVQReportRow row;
    row.node = node;
    row.address = std::move(address);
    row.errorCode = errorCode;
    row.disposition = disposition;
    row.size = size;
    return row;
}

class DownloadReport : public ::testing::Test {
protected:
    void SetUp() override { vq::ForceClock24(1); }
    void TearDown() override { vq::ForceClock24(-1); }

    CVQTempDir m_dir;
    CVQDownloadReport m_report;
};

TEST_F(DownloadReport, ScriptedRunMatchesTheReportPage) {
    const std::string path = CVQDownloadReport::PathFor(m_dir.File("save"), "Site");
    ASSERT_EQ(path, m_dir.File("save/_VQReport/Site_Report.htm"));
    ASSERT_TRUE(m_report.Start(path));
    EXPECT_EQ(vq::test::ReadFile(path), "");

    CVQReportHeader header;
    header.projectPath = "/p/site.vqp";
    header.title = "Site";
    header.startAddresses = {"http://h.com/", "http://h.com/b/"};
    header.projectDir = "/save/";
    header.started = vq::test::LocalTime(14, 5, 9);
    ASSERT_TRUE(m_report.Header(header));

    CVQDocNode page, image, unknown;
    SetNode(page, 1, 0);
    SetNode(image, 2, 1);
    SetNode(unknown, 0, kNoPosition);
    CVQReportRow row = Row(&page, "http://h.com/", 0, 0, 1536);
    row.lastModified = vq::test::LocalTime(9, 30, 59);
    EXPECT_TRUE(m_report.Row(row));
    m_report.Row(Row(&image, "http://h.com/a.gif", 404, 0));
    m_report.Row(Row(nullptr, "http://h.com/b/", 0, 2, 1023));
    m_report.Row(Row(&unknown, "http://h.com/c.js", 0, 8));
    m_report.Row(Row(&image, "http://h.com/d.png", 0, 1));
    EXPECT_TRUE(m_report.End());

    EXPECT_EQ(vq::test::ReadFile(path),
              vq::test::ReadFile(vq::test::DataPath("project/scripted_report.htm")));
}

TEST_F(DownloadReport, StartWritesTheLogoBesideTheReport) {
    ASSERT_TRUE(m_report.Start(m_dir.File("a/b/_VQReport/T_Report.htm")));
    const std::string logo = vq::test::ReadFile(m_dir.File("a/b/_VQReport/vqlogo.gif"));
    const auto bytes = vq::ReportLogoGif();
    EXPECT_EQ(logo, std::string(bytes.begin(), bytes.end()));
    ASSERT_GT(logo.size(), 13u);
    EXPECT_EQ(logo.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<unsigned char>(logo[6]) | static_cast<unsigned char>(logo[7]) << 8, 234);
    EXPECT_EQ(static_cast<unsigned char>(logo[8]) | static_cast<unsigned char>(logo[9]) << 8, 60);
    EXPECT_EQ(logo.back(), ';');
}

TEST_F(DownloadReport, FailsWhereItCannotWrite) {
    vq::test::WriteFile(m_dir.File("file"), "x");
    EXPECT_FALSE(m_report.Start(m_dir.File("file/_VQReport/T_Report.htm")));
    CVQDownloadReport unstarted;
    EXPECT_FALSE(unstarted.Row(Row(nullptr, "http://h.com/", 0, 0)));
}

TEST(DownloadReportPage, HostileTextsCannotAddMarkup) {
    const std::string attack = "http://h.com/\"'><script>alert(1)</script>&";
    CVQReportHeader header;
    header.projectPath = "/p/<b>.vqp";
    header.title = "<img src=x onerror=alert(1)>";
    header.startAddresses = {attack};
    header.projectDir = "/save/<i>/";
    const std::string page = CVQDownloadReport::HeaderHtml(header) +
                             CVQDownloadReport::RowHtml(Row(nullptr, attack, 500, 0));
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_NE(page.find("http://h.com/&quot;&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;&amp;"),
              std::string::npos);
}

TEST(DownloadReportPage, RowIdsDecideTheTabs) {
    const std::pair<CVQReportRow, std::string> cases[] = {
        {Row(nullptr, "", -1, 2),
         "ID='error'><TD ALIGN='center'><FONT COLOR=#FF0000>Error -1</FONT></TD>"},
        {Row(nullptr, "", 0, 1), "ID='skipped'><TD ALIGN='center'>Skipped</TD>"},
        {Row(nullptr, "", 0, 2), "ID='unchanged'><TD ALIGN='center'>Unchanged</TD>"},
        {Row(nullptr, "", 0, 8), "ID='cache'><TD ALIGN='center'>From cache</TD>"},
        {Row(nullptr, "", 0, 4), "ID='downloaded'><TD ALIGN='center'>Downloaded</TD>"},
    };
    for (const auto& [row, expected] : cases)
        EXPECT_NE(CVQDownloadReport::RowHtml(row).find(expected), std::string::npos) << expected;

    const std::string header = CVQDownloadReport::HeaderHtml({});
    EXPECT_NE(
        header.find("<TD ID='tab_error' CLASS='tab' onclick=\"showRows('error','tab_error')\">"
                    "<A CLASS='link' HREF=\"javascript:showRows('error','tab_error')\">"
                    "Errors</A></TD>"),
        std::string::npos);
}

} // namespace
