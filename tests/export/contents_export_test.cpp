// The open project's tree written as a contents file and read back as the viewer reads it.
#include "common/contents_file/contents_file.h"
#include "desktop/export/contents_export.h"
#include "desktop/project/doc.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct ContentsExport : ::testing::Test {
    ContentsExport() {
        options.lastFilesDir = dir.File("dl");
        doc.NewProject();
        doc.SetUserPresent(false);
        doc.SetPathName(dir.File("News.vqp"));
        doc.Settings().title = "Evening News";
        doc.Settings().projectDir = site;
        doc.Tree().CreateRoot("Evening News");
    }

    CVQDocNode* Add(CVQDocNode* parent, int kind, int group, int status, const std::string& name,
                    const std::string& localPath) {
        CVQNodeInit init;
        init.kind = kind;
        init.group = group;
        init.status = status;
        init.title = name;
        const std::string address = "http://news.test/" + name;
        init.address = address;
        init.localPath = localPath;
        return doc.Tree().AddNode(parent, init);
    }

    CVQContentsFile WriteAndRead(const CVQContentsExport& how) {
        const std::string path = out.File("News.vqx");
        EXPECT_TRUE(vq::WriteContentsFile(doc, path, how));
        CVQContentsFile file;
        EXPECT_TRUE(file.Open(path));
        return file;
    }

    CVQTempDir dir;
    CVQTempDir out;
    std::string site = dir.File("dl") + "/";
    CVQProgramOptions options;
    CVQDoc doc{options};
};

TEST_F(ContentsExport, NumbersInPreOrderAndWritesWhatTheViewerShows) {
    CVQDocNode* root = doc.Tree().Root();
    CVQDocNode* index =
        Add(root, kNodePage, 1, kStatusDownloaded, "index", site + "index.htm");         // 1
    Add(index, kNodeFile, 2, kStatusDownloaded, "logo", site + "img/logo.png");          // 2
    CVQDocNode* lost = Add(root, kNodePage, 1, kStatusError, "lost", site + "lost.htm"); // 3
    CVQDocNode* middle = Add(lost, kNodePage, 1, kStatusFiltered, "middle", "");         // 4
    Add(middle, kNodeFile, 1, kStatusDownloaded, "deep", site + "a/deep.htm");           // 5
    CVQDocNode* waiting = Add(root, kNodePage, 1, kStatusToAnalyze, "waiting", "");      // 6
    Add(waiting, kNodeFile, 1, kStatusDownloaded, "child", site + "child.htm");          // 7

    CVQContentsExport how = vq::ContentsExportOf(doc);
    how.fileTypeMask = vq::kGroupHtml;
    const CVQContentsFile file = WriteAndRead(how);
    const auto& r = file.Records();

    // "lost" has no downloaded child and is left out; "middle" then hangs at the top level.
    std::vector<std::uint32_t> ids;
    for (const CVQContentsRecord& record : r)
        ids.push_back(record.id);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(r[0].title, "Evening News");
    EXPECT_EQ(r[1].localPath, "News\\index.htm");
    EXPECT_EQ(r[2].localPath, "News\\img\\logo.png");
    EXPECT_EQ(r[2].status, 0) << "an image is not exported with the HTML mask";
    EXPECT_EQ(r[1].status, kStatusDownloaded);
    EXPECT_EQ(r[3].localPath, "");
    EXPECT_EQ(r[3].parentId, -1);
    EXPECT_EQ(r[4].parentId, 4);
    EXPECT_EQ(r[1].nextId, 6) << "the next sibling skips the page left out";
    EXPECT_EQ(r[5].prevId, 1);
    EXPECT_EQ(r[6].parentId, 6) << "a page not downloaded with a downloaded child keeps it";
    EXPECT_EQ(r[1].url, "http://news.test/index");
    EXPECT_EQ(file.PreOrder(), (std::vector<int>{0, 1, 2, 5, 6}));

    std::string title;
    ASSERT_TRUE(CVQContentsFile::ReadProjectTitle(out.File("News.vqx"), title));
    EXPECT_EQ(title, "Evening News");
}

TEST_F(ContentsExport, ProjectName) {
    EXPECT_EQ(vq::ContentsProjectName("/home/u/Sites/News.vqp"), "News");
    EXPECT_EQ(vq::ContentsProjectName("/home/u/my.site.vqp"), "my.site");
    EXPECT_EQ(vq::ContentsProjectName("plain"), "plain");
    doc.SetPathName("");
    EXPECT_EQ(vq::ContentsExportOf(doc).projectName, "Evening News");
}

// A start page deep inside the copy makes its folder the base; files of the copy above that
// folder must still resolve inside the contents file's folder, where the copier puts them, and
// keep their places relative to each other so that the pages' links still meet.
TEST_F(ContentsExport, EveryFileOfTheCopyResolvesInsideTheContentsFolder) {
    doc.Settings().projectDir = dir.File("dl/[%d]/");
    doc.Settings().downloadDirInUse = site;
    doc.SettingsChanged();
    CVQDocNode* root = doc.Tree().Root();
    CVQDocNode* start =
        Add(root, kNodePage, 1, kStatusDownloaded, "start", site + "a/b/c/index.htm");
    Add(start, kNodeFile, 2, kStatusDownloaded, "up", site + "a/up.png");
    Add(start, kNodeFile, 2, kStatusDownloaded, "top", site + "top.png");
    Add(start, kNodeFile, 2, kStatusDownloaded, "dotted", site + "a/b/c/../../x/../side.png");

    const CVQContentsFile file = WriteAndRead(vq::ContentsExportOf(doc));
    const auto& r = file.Records();
    ASSERT_EQ(r.size(), 5u);
    const std::string folder = "/dev/My Documents";
    std::vector<std::string> resolved;
    for (std::size_t i = 1; i < r.size(); ++i) {
        resolved.push_back(ResolveContentsPath(r[i].localPath, folder));
        EXPECT_NE(resolved.back(), "") << r[i].localPath;
    }
    const auto relative = [&](std::size_t i) {
        return std::filesystem::path(resolved[i]).lexically_relative(resolved[0]).string();
    };
    EXPECT_EQ(relative(1), "../../../up.png");
    EXPECT_EQ(relative(2), "../../../../top.png");
    EXPECT_EQ(relative(3), "../../../side.png");
    EXPECT_EQ(r[4].localPath.find(".."), r[4].localPath.rfind(".."))
        << "at most the one climb out of the project folder: " << r[4].localPath;
}

// The start page's folder has a sibling named like the project: stored as "News\..\News\..."
// its files would land among the project folder's own.
TEST_F(ContentsExport, AFolderNamedLikeTheProjectStaysApart) {
    doc.Settings().projectDir = dir.File("dl/[%d]/");
    doc.Settings().downloadDirInUse = site;
    doc.SettingsChanged();
    CVQDocNode* start =
        Add(doc.Tree().Root(), kNodePage, 1, kStatusDownloaded, "start", site + "a/index.htm");
    Add(start, kNodeFile, 2, kStatusDownloaded, "own", site + "a/logo.png");
    Add(start, kNodeFile, 2, kStatusDownloaded, "twin", site + "news/logo.png");

    const CVQContentsFile file = WriteAndRead(vq::ContentsExportOf(doc));
    const auto& r = file.Records();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].localPath, "News\\a\\index.htm");
    EXPECT_EQ(r[2].localPath, "News\\a\\logo.png");
    EXPECT_EQ(r[3].localPath, "News\\news\\logo.png");
}

TEST_F(ContentsExport, FailuresReportFalseAndLogWhatHappened) {
    Add(doc.Tree().Root(), kNodePage, 1, kStatusDownloaded, "index", site + "index.htm");
    const CVQContentsExport how = vq::ContentsExportOf(doc);

    EXPECT_FALSE(vq::WriteContentsFile(doc, out.File("missing/News.vqx"), how));
    EXPECT_EQ(vq::test::ReadFile(doc.Log().Path()), "");

    // The full device through a link of the test's own, so that nothing of /dev is touched.
    std::error_code ec;
    std::filesystem::create_symlink("/dev/full", out.File("full.vqx"), ec);
    if (!ec) {
        EXPECT_FALSE(vq::WriteContentsFile(doc, out.File("full.vqx"), how));
        EXPECT_EQ(vq::test::ReadFile(doc.Log().Path()), "The disk is full !\r\n");
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
}

} // namespace
