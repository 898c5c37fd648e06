#include "desktop/project/doc.h"
#include "desktop/project/templ.h"
#include "desktop/project/project_file.h"
#include "tests/support/temp_dir.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class FakeUser : public CVQDocObserver {
public:
    void ShowMessage(const std::string& text, VQIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer) override {
        questions.push_back(text);
        cancelOffered = withCancel;
        if (answers.empty())
            return VQAnswer::No;
        const VQAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    bool ChooseSavePath(std::string& path) override {
        proposed = path;
        if (!chosen.empty())
            path = chosen;
        return !cancelSave;
    }
    void BeginWait(const std::string& text) override { waits.push_back(text); }
    void AddToRecentFiles(const std::string& path) override { recent.push_back(path); }
    void LogLine(const std::string& line) override { logLines.push_back(line); }

    std::vector<std::string> messages, questions, waits, recent, logLines;
    std::vector<VQIcon> icons;
    std::deque<VQAnswer> answers;
    bool cancelOffered = false;
    std::string proposed, chosen;
    bool cancelSave = false;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct DocFixture : ::testing::Test {
    DocFixture() {
        options.lastFilesDir = dir.File("downloads");
        options.autoSave = false;
        doc.SetObserver(&user);
        doc.NewProject();
        doc.Settings().projectDir = dir.File("save") + "/";
        doc.Settings().title = "Site";
        doc.Settings().startUrl = {"http://s.com/a/"};
    }

    // A saved project with one page below the root.
    std::string SavedProject(const std::string& name) {
        CVQDocNode* page =
            doc.Tree().AddNode(doc.Tree().Root(), CVQNodeInit{.address = "http://s.com/a/x.htm",
                                                              .localPath = dir.File("save/x.htm")});
        page->status = kStatusDownloaded;
        const std::string path = dir.File(name);
        EXPECT_TRUE(doc.Save(path));
        return path;
    }

    CVQTempDir dir;
    CVQProgramOptions options;
    FakeUser user;
    CVQDoc doc{options};
};

TEST_F(DocFixture, NewProjectReadsTheDefaultTemplate) {
    options.useTemplFile = true;
    options.templFile = dir.File("default.vqt");
    std::ofstream(options.templFile, std::ios::binary) << "VQ_THREADS \t\t42\r\n";
    doc.NewProject();
    EXPECT_EQ(doc.Settings().threads, 42);
    EXPECT_EQ(doc.Tree().Root()->Title(), "New Project");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(user.messages.empty());

    std::filesystem::remove(options.templFile);
    doc.NewProject();
    EXPECT_EQ(doc.Settings().threads, 5);
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0], "Cannot open the file '" + options.templFile + "'.");
    EXPECT_EQ(user.icons[0], VQIcon::Stop);
}

TEST_F(DocFixture, SaveAndLoad) {
    doc.Settings().threads = 9;
    doc.Settings().trUpdate = 2; // the initial 3 would come back as 2
    const std::string path = SavedProject("p.vqp");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(user.recent.back(), path);

    CVQDoc other(options);
    other.SetObserver(&user);
    ASSERT_TRUE(other.Load(path));
    EXPECT_EQ(other.Settings(), doc.Settings());
    EXPECT_EQ(other.PathName(), path);
    EXPECT_TRUE(other.IsValid());
    EXPECT_FALSE(other.IsModified());
    ASSERT_EQ(other.Tree().NodeCount(), 1U);
    EXPECT_EQ(other.Tree().Root()->firstChild.load()->LocalPath(), dir.File("save/x.htm"));
    EXPECT_EQ(other.LogPath(), dir.File("p.log"));
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(DocFixture, FirstSaveProposesTheTitleInTheSaveDirectory) {
    doc.Settings().title = "A/B: c";
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(user.proposed, dir.File("save") + "/A_B_ c.vqp");
    EXPECT_TRUE(fs::exists(user.proposed));
    EXPECT_EQ(doc.PathName(), user.proposed);

    CVQDoc fresh(options);
    fresh.SetObserver(&user);
    fresh.Settings().projectDir = dir.File("save") + "/";
    user.cancelSave = true;
    EXPECT_FALSE(fresh.Save());
    EXPECT_TRUE(fresh.PathName().empty());
}

TEST_F(DocFixture, RenamingTheProjectMovesItsLog) {
    const std::string path = SavedProject("p.vqp");
    std::ofstream(dir.File("p.log")) << "old log";
    ASSERT_TRUE(doc.Save(dir.File("q.vqp")));
    EXPECT_FALSE(fs::exists(dir.File("p.log")));
    EXPECT_EQ(ReadAll(dir.File("q.log")), "old log");
    EXPECT_EQ(doc.LogPath(), dir.File("q.log"));
    (void)path;
}

TEST_F(DocFixture, InvalidProjectOffersItsBackup) {
    const std::string path = SavedProject("p.vqp");
    doc.Settings().title = "Second";
    ASSERT_TRUE(doc.Save()); // the first version is now the backup
    ASSERT_TRUE(fs::exists(dir.File("p.vqb")));
    std::ofstream(path, std::ios::trunc) << "not a project at all";

    CVQDoc other(options);
    other.SetObserver(&user);
    user.answers = {VQAnswer::Yes};
    ASSERT_TRUE(other.Load(path));
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0], "The file  '" + path + "' is not a valid Velloquin project.");
    ASSERT_EQ(user.questions.size(), 1U);
    EXPECT_EQ(user.questions[0], "Do you want to load the project backup copy?");
    EXPECT_EQ(other.Settings().title, "Site");
    EXPECT_EQ(other.PathName(), path);
    EXPECT_TRUE(CVQProjectFile::IsProjectFile(path)); // the backup was copied over it

    // Without the backup option nothing is offered.
    std::ofstream(path, std::ios::trunc) << "broken again";
    options.backupProject = false;
    user.questions.clear();
    CVQDoc third(options);
    third.SetObserver(&user);
    EXPECT_FALSE(third.Load(path));
    EXPECT_FALSE(third.IsValid());
    EXPECT_TRUE(user.questions.empty());
}

TEST_F(DocFixture, UnattendedReadErrorLogsAndLoadsTheBackup) {
    const std::string path = SavedProject("p.vqp");
    ASSERT_TRUE(doc.Save());
    const std::string bytes = ReadAll(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << bytes.substr(0, 100); // cut in the tree

    CVQDoc other(options);
    other.SetObserver(&user);
    other.SetUserPresent(false);
    ASSERT_TRUE(other.Load(path));
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(user.questions.empty());
    EXPECT_EQ(ReadAll(dir.File("p.log")), " Error reading file '" + path + "'\r\n");
    EXPECT_EQ(other.Tree().NodeCount(), 1U);
    EXPECT_EQ(ReadAll(path), bytes);
}

TEST_F(DocFixture, EncryptedProjectGoesThroughTheDecryptHook) {
    const std::string plain = SavedProject("plain.vqp");
    const std::string path = dir.File("enc.vqp");
    std::ofstream(path) << "PK\x03\x04...";
    CVQDoc other(options);
    other.SetObserver(&user);
    EXPECT_FALSE(other.Load(path));
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0], "The file  '" + path + "' is not a valid Velloquin project.");

    other.SetDecryptHook([&plain](const std::string&, std::string& out) {
        out = plain;
        return true;
    });
    ASSERT_TRUE(other.Load(path));
    EXPECT_EQ(other.PathName(), path);
    EXPECT_EQ(other.Tree().NodeCount(), 1U);
}

TEST_F(DocFixture, ClosingAChangedProject) {
    EXPECT_TRUE(doc.SaveModified()); // unchanged: nothing asked
    EXPECT_TRUE(user.questions.empty());

    const std::string path = SavedProject("p.vqp");
    doc.Tree().AddPage(doc.Tree().Root());
    EXPECT_TRUE(doc.IsModified());

    user.answers = {VQAnswer::No};
    EXPECT_TRUE(doc.SaveModified());
    ASSERT_EQ(user.questions.size(), 1U);
    EXPECT_EQ(user.questions[0], "The Project has been changed.\nDo you want to save it?");
    EXPECT_FALSE(user.cancelOffered);
    EXPECT_TRUE(doc.IsModified());

    user.answers = {VQAnswer::Cancel};
    EXPECT_FALSE(doc.SaveModified(true));
    EXPECT_TRUE(user.cancelOffered);

    user.answers = {VQAnswer::Yes};
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());

    // Unattended, or with the "AutoSave" option, it is saved without a question.
    doc.Tree().AddPage(doc.Tree().Root());
    doc.SetUserPresent(false);
    user.questions.clear();
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(user.questions.empty());
    EXPECT_FALSE(doc.IsModified());
    CVQDocTree tree;
    CVQPrjSettings s;
    ASSERT_EQ(CVQProjectFile(path).Read(s, tree), VQFileResult::Ok);
    EXPECT_EQ(tree.NodeCount(), 3U);
}

TEST_F(DocFixture, FailedSaveReportsAndKeepsTheChange) {
    fs::create_directory(dir.File("taken.vqp"));
    doc.Tree().AddPage(doc.Tree().Root());
    EXPECT_FALSE(doc.Save(dir.File("taken.vqp")));
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0], " Error writing file '" + dir.File("taken.vqp") + "'");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.PathName().empty());
}

TEST_F(DocFixture, AddressIndexThatCannotBeBuiltSwitchesFastParsingOff) {
    doc.RebuildAddressIndex();
    EXPECT_TRUE(doc.Tree().HasIndex());
    doc.Tree().SetIndexFailureForTesting(true);
    doc.RebuildAddressIndex();
    EXPECT_FALSE(doc.Tree().HasIndex());
    EXPECT_EQ(doc.Settings().fastParse, 0);
    const std::string path = SavedProject("p.vqp");
    CVQDoc other(options);
    ASSERT_TRUE(other.Load(path));
    EXPECT_EQ(other.Settings().fastParse, 0);
    other.RebuildAddressIndex(); // off: no index, lookups walk
    EXPECT_FALSE(other.Tree().HasIndex());
    EXPECT_NE(other.Tree().FindByAddress("http://s.com/a/x.htm"), nullptr);
}

TEST_F(DocFixture, LogAndReportPaths) {
    ASSERT_TRUE(doc.ExpandSaveDirectory(false));
    const std::string save = dir.File("save") + "/";
    EXPECT_EQ(doc.SaveDirInUse(), save);
    EXPECT_EQ(doc.LogPath(), save + "Site.log");
    EXPECT_EQ(doc.ReportPath(), save + "_VQReport/Site_Report.htm");
    doc.Settings().title = "../../evil";
    EXPECT_EQ(doc.ReportPath(), save + "_VQReport/.._.._evil_Report.htm");
    doc.SetPathName(dir.File("proj"));
    EXPECT_EQ(doc.LogPath(), dir.File("proj.log"));
    EXPECT_EQ(CVQDoc::BackupPath("/p/site.v1/proj"), "/p/site.v1/proj.vqb");
    EXPECT_EQ(CVQDoc::BackupPath("/p/proj.vqp"), "/p/proj.vqb");
}

TEST_F(DocFixture, MappingFollowsTheSettings) {
    ASSERT_TRUE(doc.ExpandSaveDirectory(false));
    doc.SetStartDirUrl("http://s.com/a/");
    EXPECT_EQ(doc.MapToLocalPath("http://s.com/a/p.htm", false, true).path,
              dir.File("save") + "/p.htm");
    doc.Settings().dirStr = 1; // based on URLs
    doc.SettingsChanged();
    EXPECT_EQ(doc.MapToLocalPath("http://s.com/a/p.htm", false, true).path,
              dir.File("save") + "/s.com/a/p.htm");
    EXPECT_FALSE(doc.LinksNeedConversion());
    bool flag = false;
    doc.Settings().dirStr = 0;
    doc.Settings().keepQuery = 0;
    doc.SettingsChanged();
    doc.MapToLocalPath("http://s.com/a/p.asp?id=3", false, true, &flag);
    EXPECT_TRUE(flag);
    EXPECT_FALSE(doc.LinksNeedConversion()); // the caller took the flag
    doc.MapToLocalPath("http://s.com/a/p.asp?id=3", false, true);
    EXPECT_TRUE(doc.LinksNeedConversion());
}

TEST_F(DocFixture, DeletingABranchTouchesOnlyTheSaveDirectory) {
    ASSERT_TRUE(doc.ExpandSaveDirectory(false));
    const std::string inside = dir.File("save/in.htm");
    const std::string outside = dir.File("out.htm");
    std::ofstream(inside) << "x";
    std::ofstream(outside) << "x";
    CVQDocTree& tree = doc.Tree();
    CVQDocNode* page = tree.AddNode(tree.Root(), CVQNodeInit{.localPath = inside});
    tree.AddNode(page, CVQNodeInit{.kind = kNodeFile, .localPath = outside});
    CVQDocNode* busy = tree.AddNode(tree.Root(), CVQNodeInit{.kind = kNodeFile});
    busy->status = kStatusDownloading;

    doc.Run().running = true;
    EXPECT_FALSE(doc.DeleteBranch(busy, true)); // a worker holds it
    doc.Run().running = false;
    EXPECT_TRUE(doc.DeleteBranch(page, true));
    EXPECT_FALSE(fs::exists(inside));
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_EQ(tree.NodeCount(), 1U);
    EXPECT_FALSE(doc.DeleteBranch(tree.Root(), true));
}

} // namespace

namespace {

TEST_F(DocFixture, TemplateOpenedAsNewProjectOrOverTheCurrentOne) {
    const std::string templ = dir.File("site.vqt");
    std::ofstream(templ, std::ios::binary)
        << "VQ_START_URL \t\t\"http://t.com/\"\r\nVQ_TITLE \t\t\"From template\"\r\nVQ_THREADS \t\t7\r\n";
    ASSERT_TRUE(CVQTempl::OpenAsNewProject(doc, templ));
    EXPECT_EQ(doc.PathName(), dir.File("site.vqp"));
    EXPECT_EQ(doc.Settings().threads, 7);
    EXPECT_EQ(doc.Tree().Root()->Title(), "From template");
    EXPECT_TRUE(doc.IsModified());

    doc.Settings().threads = 3;
    const std::string broken = dir.File("broken.vqt");
    std::ofstream(broken, std::ios::binary) << "VQ_THREADS \t\t9\r\nVQ_FILE_EXT \t\t 3 1 \"x\"\r\n";
    EXPECT_FALSE(CVQTempl::ApplyToProject(doc, broken));
    EXPECT_EQ(doc.Settings().threads, 3) << "a failing template changes nothing";
    ASSERT_TRUE(CVQTempl::ApplyToProject(doc, templ));
    EXPECT_EQ(doc.Settings().threads, 7);
}

} // namespace
