// new, tree, log, export-contents and --help, run as the user runs them.
#include "common/contents_file/contents_file.h"
#include "desktop/project/doc.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/test_files.h"

#include <filesystem>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct ProjectCommands : CliTest {
    // A project with a small tree, as a download leaves it.
    std::string MakeDownloadedProject() {
        CVQProgramOptions options;
        CVQDoc doc(options);
        doc.NewProject();
        doc.Settings().title = "Lamps";
        doc.Settings().projectDir = Path("site/");
        CVQDocTree& tree = doc.Tree();
        tree.SetTitle(tree.Root(), "Lamps");
        CVQNodeInit init;
        init.status = kStatusDownloaded;
        init.group = 1;
        init.title = "index.html";
        init.address = "http://lamps.test/";
        const std::string index = Path("site/index.html");
        init.localPath = index;
        CVQDocNode* page = tree.AddNode(tree.Root(), init);
        init.kind = kNodeFile;
        init.status = kStatusError;
        init.title = "gone.png";
        init.address = "http://lamps.test/gone.png";
        init.localPath = {};
        tree.AddNode(page, init)->reason = 404;
        const std::string path = Path("Lamps.vqp");
        EXPECT_TRUE(doc.Save(path));
        return path;
    }
};

TEST_F(ProjectCommands, NewTakesTheSettingsItIsGivenAndSavesTheProject) {
    const CVQCliResult r =
        Run({"new", "lamps.test/shop/", "--dir", "copy", "--set", "VQ_THREADS=20", "--set",
             "VQ_UPDLINKS=2", "--set", "VQ_TITLE=Lamp shop"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Lamp shop.vqp"));

    CVQProgramOptions options;
    CVQDoc doc(options);
    doc.SetUserPresent(false);
    ASSERT_TRUE(doc.Load(Path("Lamp shop.vqp")));
    const CVQPrjSettings& s = doc.Settings();
    EXPECT_EQ(s.startUrl, (std::vector<std::string>{"http://lamps.test/shop/"}));
    EXPECT_EQ(s.threads, 20);
    EXPECT_EQ(s.updLinks, 2);
    EXPECT_EQ(s.title, "Lamp shop");
    EXPECT_EQ(doc.Tree().Root()->Title(), "Lamp shop");
    EXPECT_EQ(s.projectDir, Path("copy/"));

    // A second project of the same name would replace the first.
    const CVQCliResult again = Run({"new", "lamps.test", "--title", "Lamp shop"});
    EXPECT_EQ(again.code, 1);
    EXPECT_THAT(again.err, HasSubstr("already exists"));
}

TEST_F(ProjectCommands, NewRefusesWhatItCannotTake) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"new", "lamps.test", "--set", "VQ_THREADS=101"}, "VQ_THREADS takes 1-100"},
        {{"new", "lamps.test", "--set", "VQ_WHATEVER=1"}, "Unknown setting key 'VQ_WHATEVER'"},
        {{"new", "lamps.test", "--template", "none.vqt"}, "Cannot open the file"},
        {{"new"}, "URL is required"},
    };
    for (const Case& c : cases) {
        const CVQCliResult r = Run(c.args);
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message));
    }
    EXPECT_FALSE(std::filesystem::exists(Path("lamps.test.vqp")));
}

TEST_F(ProjectCommands, TreeShowsStatusesAndReasons) {
    MakeDownloadedProject();
    const CVQCliResult all = Run({"tree", "Lamps.vqp"});
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out, "Lamps\n"
                       "  index.html  http://lamps.test/  [Downloaded]\n"
                       "    gone.png  http://lamps.test/gone.png  [Error - 404]\n");

    const CVQCliResult errors = Run({"tree", "Lamps.vqp", "--status", "3"});
    ASSERT_EQ(errors.code, 0);
    EXPECT_EQ(errors.out, "gone.png  http://lamps.test/gone.png  [Error - 404]\n");

    const CVQCliResult missing = Run({"tree", "nothing.vqp"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_THAT(missing.err, HasSubstr("Cannot open the file"));
    EXPECT_FALSE(std::filesystem::exists(Path("nothing.log")));

    vq::test::WriteFile(Path("text.vqp"), "not a project");
    const CVQCliResult damaged = Run({"tree", "text.vqp"});
    EXPECT_EQ(damaged.code, 1);
    EXPECT_THAT(damaged.err, HasSubstr("is not a valid Velloquin project"));
}

TEST_F(ProjectCommands, LogPrintsTheLogWithPlainLineEnds) {
    MakeDownloadedProject();
    EXPECT_EQ(Run({"log", "Lamps.vqp"}).code, 1);
    vq::test::WriteFile(Path("Lamps.log"),
                        "Download started\r\nhttp://lamps.test/gone.png 404\r\n");
    const CVQCliResult r = Run({"log", "Lamps.vqp"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Download started\nhttp://lamps.test/gone.png 404\n");
}

TEST_F(ProjectCommands, ExportContentsWritesWhatTheViewerReads) {
    MakeDownloadedProject();
    std::filesystem::create_directories(Path("device"));
    const CVQCliResult r = Run({"export-contents", "Lamps.vqp", "device"});
    ASSERT_EQ(r.code, 0) << r.err;
    CVQContentsFile file;
    ASSERT_TRUE(file.Open(Path("device/Lamps.vqx")));
    ASSERT_EQ(file.Records().size(), 2u);
    EXPECT_EQ(file.Records()[1].localPath, "Lamps\\index.html");
    EXPECT_EQ(ResolveContentsPath(file.Records()[1].localPath, Path("device")),
              Path("device/Lamps/index.html"));

    const CVQCliResult refused = Run({"export-contents", "Lamps.vqp", "no/such/folder/x.vqx"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_THAT(refused.err, HasSubstr("Failed to save Contents file."));
}

TEST_F(ProjectCommands, EveryCommandHasHelp) {
    for (const char* command : {"new", "tree", "log", "export-contents"}) {
        const CVQCliResult r = Run({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_THAT(r.out, HasSubstr(std::string("velloquin-cli ") + command)) << command;
    }
    const CVQCliResult top = Run({"--help"});
    EXPECT_EQ(top.code, 0);
    EXPECT_THAT(top.out, HasSubstr("export-contents"));
    const CVQCliResult none = Run({});
    EXPECT_EQ(none.code, 1);
    EXPECT_THAT(none.err, Not(HasSubstr("\n\n\n")));
}

} // namespace
