#include "desktop/project/doc_tree.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "desktop/project/project_file.h"
#include "tests/support/temp_dir.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

const std::string kDir = "/home/u/Projects/";

// Every stored field away from its default.
CVQPrjSettings ChangedSettings() {
    CVQPrjSettings s;
    s.startUrl = {"http://www.site.com/docs/index.htm", "http://other.org/", "ftp://f.net/pub/"};
    s.singleUrl = 0;
    s.userId = "user";
    s.password = "secret";
    s.projectDir = "/home/u/My Downloads/site/";
    s.title = "Site copy";
    s.threads = 12;
    s.fileTypes = 1 | 2 | 32;
    s.offsite = 1;
    s.limDs = 1;
    s.maxDs = 1.5 * 1048576;
    s.limFq = 1;
    s.maxFq = 4000000000U;
    s.limMaxFs = 1;
    s.maxMaxFs = 123456.5;
    s.limMinFs = 1;
    s.maxMinFs = 512;
    s.limTime = 1;
    s.maxTime = 90;
    s.trUpdate = 1;
    s.reserved = 7;
    s.trHtml = 1;
    s.trInit = 1;
    s.trExtBr = 1;
    s.trLimitF = 0;
    s.trMaxF = 2000;
    s.trOnlyD = 1;
    s.dirStr = 2;
    s.uMethod = 1;
    s.updLinks = 2;
    s.timeout = 300;
    s.retries = 7;
    s.limL = 1;
    s.maxL = 0;
    s.limOl = 0;
    s.maxOl = 9;
    s.down = 1;
    s.protocol = 5;
    s.detPrev = 1;
    s.keepHtml = 1;
    s.agentType = 3;
    s.agentVersion = 7000;
    s.agentText = "Agent/1.0";
    s.runState = 4;
    s.downloadDirInUse = "/home/u/My Downloads/site-010203/";
    s.defFName = "index.html";
    s.report = 1;
    s.renameHtml = 0;
    s.pageBreak = 0;
    s.htmlLogin = 1;
    s.htmlForms = 1;
    s.keepLogFile = 1;
    s.encryptProjectFiles = 1;
    s.encryptDownloadedFiles = 1;
    s.fastParse = 0;
    s.keepQuery = 1;
    s.downldPause = 30;
    s.imageAlways = 0;
    s.refererUrl = "http://ref.com/";
    s.delOutdated = 0;
    s.checkCache = 0;
    s.renamedFiles = 1;
    s.nonHtmlAlways = 1;
    s.convertWhenDwnld = 0;
    s.customErrorPage = 0;
    s.retainFileNames = 1;
    s.autoSynchPr = 1;
    s.copyPrTo = 4;
    s.copyPrDirName = "/backup/site.zip";
    s.copyProject = 0;
    s.copyDownload = 0;
    s.exportSpare = 3;
    s.copyPrZipPassword = "zip";
    s.fileTypeMask = 3;
    s.storageName = "SD Card";
    s.readerDrive = 'F';
    s.scaleLevel = 3;
    s.prevScaleLevel = 2;
    s.scaleImages = 1;
    s.htmlParser = 1;
    s.analyzeJavaScript = 0;
    s.processDhtmlEvents = 0;
    s.replaceScriptedLinks = 1;
    s.convertFlashLinks = 1;
    s.downloadMethod = 1;
    s.delimiter = ';';
    s.nodeExportInfo = 31;
    s.exportAfterDownload = 1;
    s.trPrExtBr = 0;
    s.appAddress = "192.168.1.5:8080";
    s.appSyncId = "42";
    s.urlFilter = {{1, 15, "www.site.com", "/docs/", "*.htm"}, {0, 2, "ads.*", "", ""}};
    // Extension lists: an added one with limits, a disabled and a removed base entry, an extra
    // one disabled.
    CVQCustomArray& html = *s.ExtList(vq::kGroupHtml);
    html.push_back({.ext = "xhtml",
                    .enabled = 1,
                    .limitMax = 1,
                    .maxSize = 2048,
                    .limitMin = 1,
                    .minSize = 10});
    vq::FindExt(html, "rss")->enabled = 0;
    CVQCustomArray& image = *s.ExtList(vq::kGroupImage);
    vq::FindExt(image, "jpg")->enabled = 0;
    std::erase_if(image, [](const CVQFileExt& e) { return e.ext == "png"; });
    image[0].limitMax = 1;
    image[0].maxSize = 99999;
    return s;
}

struct Tree {
    CVQDocTree tree;
    CVQDocNode* root;
    Tree() { root = tree.CreateRoot("Site copy"); }
    CVQDocNode* Add(CVQDocNode* parent, int kind, std::string_view address, std::string_view path) {
        return tree.AddNode(parent, CVQNodeInit{.kind = kind,
                                                .address = address,
                                                .title = "T " + std::string(address),
                                                .localPath = path});
    }
};

void FillTree(Tree& t) {
    CVQDocNode* start = t.Add(t.root, kNodePage, "http://www.site.com/docs/index.htm",
                              "/home/u/Projects/site/docs/index.htm");
    start->group = 1;
    start->level = 0;
    start->dirPosition = 0;
    start->status = kStatusDownloaded;
    start->size = 4321;
    CVQDocNode* img =
        t.Add(start, kNodeFile, "http://www.site.com/img/a.gif", "/home/u/Projects/site/img/a.gif");
    img->group = 2;
    img->contentClass = 1;
    img->level = 1;
    img->dirPosition = -1;
    img->status = kStatusError;
    img->reason = kReasonIncomplete;
    img->selection = kSelSelected | kSelNeedsConversion;
    CVQDocNode* off = t.Add(start, kNodePage, "http://other.org/x?a=http://y", "/elsewhere/x.htm");
    off->status = kStatusFiltered;
    off->reason = kSkipOtherServer;
    off->dirPosition = -1073741824;
    off->level = 0;
    CVQDocNode* sub = t.Add(off, kNodeFile, "http://www.site.com/docs/a/../b.htm", "");
    sub->status = kStatusError;
    sub->reason = 404;
    t.Add(t.root, kNodeFile, "", "");
}

struct NodeFields {
    int kind, group, contentClass, dirPosition, level, status, reason, selection;
    unsigned size;
    std::string title, address, path;
    std::size_t children;
    bool operator==(const NodeFields&) const = default;
};

std::vector<NodeFields> Fields(const CVQDocTree& tree) {
    std::vector<NodeFields> out;
    tree.WalkPreOrder(nullptr, [&out](CVQDocNode& n) {
        std::size_t children = 0;
        for (CVQDocNode* c = n.firstChild; c; c = c->next)
            ++children;
        out.push_back({n.kind, n.group, n.contentClass, n.dirPosition, n.level, n.status, n.reason,
                       n.selection, n.size, std::string(n.Title()), std::string(n.Address()),
                       std::string(n.LocalPath()), children});
        return true;
    });
    return out;
}

std::string Write(const CVQPrjSettings& s, Tree& t) {
    return CVQProjectFile::WriteBytes(s, t.tree, kDir);
}

VQFileResult Read(std::string_view bytes, CVQPrjSettings& s, CVQDocTree& tree) {
    return CVQProjectFile::ReadBytes(bytes, kDir, s, tree);
}

// Offset just after the tree section of a file written by this format.
std::size_t EndOfTree(const CVQPrjSettings& s, Tree& t) {
    const std::string full = Write(s, t);
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        CVQDocTree tree;
        CVQPrjSettings read;
        if (Read(std::string_view(full).substr(0, cut), read, tree) == VQFileResult::Ok)
            return cut;
    }
    return full.size();
}

TEST(ProjectFile, RoundTripIsExact) {
    const CVQPrjSettings written = ChangedSettings();
    Tree t;
    FillTree(t);
    const std::string bytes = Write(written, t);

    CVQPrjSettings read;
    CVQDocTree tree;
    ASSERT_EQ(Read(bytes, read, tree), VQFileResult::Ok);
    EXPECT_EQ(read, written);
    EXPECT_EQ(Fields(tree), Fields(t.tree));
    EXPECT_EQ(tree.NodeCount(), 5U);
    // Writing what was read gives the same bytes.
    Tree again;
    again.tree.TakeFrom(tree);
    EXPECT_EQ(Write(read, again), bytes);
}

TEST(ProjectFile, DefaultsRoundTripAndHeader) {
    const CVQPrjSettings written;
    Tree t;
    const std::string bytes = Write(written, t);
    ASSERT_GT(bytes.size(), 28U);
    EXPECT_EQ(bytes.substr(0, 28), std::string("\x1b") + "Velloquin Project File v1.0");
    CVQPrjSettings read;
    CVQDocTree tree;
    ASSERT_EQ(Read(bytes, read, tree), VQFileResult::Ok);
    CVQPrjSettings expected = written;
    expected.trUpdate = 2; // the initial value is stored as "collapse"
    EXPECT_EQ(read, expected);
    EXPECT_EQ(tree.Root()->Title(), "Site copy");
}

TEST(ProjectFile, ValuesThatAreStoredDifferently) {
    CVQPrjSettings s;
    s.trUpdate = 3;    // the initial value reads as 2
    s.trStruct = 0;    // the site map view is not kept
    s.maxL = 0;        // written as the word 0xFFFF
    s.trMaxF = 100000; // above the 16-bit field
    s.trLimitF = 1;
    Tree t;
    CVQPrjSettings read;
    CVQDocTree tree;
    const std::string bytes = Write(s, t);
    ASSERT_EQ(Read(bytes, read, tree), VQFileResult::Ok);
    EXPECT_EQ(read.trUpdate, 2);
    EXPECT_EQ(read.trStruct, 1);
    EXPECT_EQ(read.maxL, 0);
    EXPECT_EQ(read.trMaxF, 100000);

    // A reader that stops after the settings tail sees the largest value the field holds.
    CVQPrjSettings old;
    CVQDocTree oldTree;
    ASSERT_EQ(Read(std::string_view(bytes).substr(0, bytes.size() - 8), old, oldTree),
              VQFileResult::Ok);
    EXPECT_EQ(old.trMaxF, 65535);

    // "Show only" off with 0 files is a DWORD of 0 in the main block, which is skipped.
    s.trLimitF = 0;
    s.trMaxF = 0;
    const std::string zero = Write(s, t);
    ASSERT_EQ(Read(zero, read, tree), VQFileResult::Ok);
    EXPECT_EQ(read.trLimitF, 0);
    EXPECT_EQ(read.trMaxF, 0);
}

TEST(ProjectFile, CutAfterTheTreeOpensWithDefaultsForTheRest) {
    const CVQPrjSettings written = ChangedSettings();
    Tree t;
    FillTree(t);
    const std::string bytes = Write(written, t);
    const std::size_t end = EndOfTree(written, t);

    CVQPrjSettings read;
    CVQDocTree tree;
    ASSERT_EQ(Read(std::string_view(bytes).substr(0, end), read, tree), VQFileResult::Ok);
    // The tree is there, with the fields of the later passes at their defaults.
    std::vector<NodeFields> expected = Fields(t.tree);
    for (NodeFields& n : expected) {
        n.level = n.dirPosition = kNoPosition;
        n.size = 0;
        n.selection = n.reason = 0;
    }
    EXPECT_EQ(Fields(tree), expected);
    // The main block is taken, everything after it keeps its default.
    const CVQPrjSettings defaults;
    EXPECT_EQ(read.title, written.title);
    EXPECT_EQ(read.threads, 12);
    EXPECT_EQ(read.maxDs, defaults.maxDs); // 1.5 MB is 1 whole MB in the main block: not taken
    EXPECT_EQ(read.startUrl, std::vector<std::string>{written.startUrl[0]});
    EXPECT_EQ(read.downloadDirInUse, written.projectDir);
    EXPECT_EQ(read.fileExt, defaults.fileExt);
    EXPECT_EQ(read.urlFilter, defaults.urlFilter);
    EXPECT_EQ(read.defFName, defaults.defFName);
    EXPECT_EQ(read.fastParse, defaults.fastParse);
}

TEST(ProjectFile, DiskSpaceLimit) {
    const struct {
        double bytes;
        bool wholeFile;
        double expected;
    } cases[] = {
        {1.5 * 1048576, true, 1.5 * 1048576}, // the second block carries the bytes
        {1.5 * 1048576, false, 104857600},    // 1 MB in the main block keeps the default
        {1048576 * 7.0, false, 1048576 * 7.0},
        {0, false, 104857600},
        {1e300, true, 1e300}, // far beyond the main block's DWORD
    };
    for (const auto& c : cases) {
        CVQPrjSettings s;
        s.maxDs = c.bytes;
        Tree t;
        const std::string bytes = Write(s, t);
        const std::size_t end = c.wholeFile ? bytes.size() : EndOfTree(s, t);
        CVQPrjSettings read;
        CVQDocTree tree;
        ASSERT_EQ(Read(std::string_view(bytes).substr(0, end), read, tree), VQFileResult::Ok);
        EXPECT_EQ(read.maxDs, c.expected) << c.bytes << " " << c.wholeFile;
    }
}

TEST(ProjectFile, RemovedExtensionIsStateTwoAndStaysRemoved) {
    CVQPrjSettings s;
    std::erase_if(*s.ExtList(vq::kGroupImage), [](const CVQFileExt& e) { return e.ext == "gif"; });
    std::erase_if(*s.ExtList(vq::kGroupImage), [](const CVQFileExt& e) { return e.ext == "svg"; });
    Tree t;
    const std::string bytes = Write(s, t);
    // Group bit 2, state 2, STRING "gif".
    const std::string entry = std::string("\x02\x00\x00\x00\x02\x03gif", 9);
    EXPECT_NE(bytes.find(entry), std::string::npos);
    // An extra extension is not in the base table: nothing is written for its removal.
    EXPECT_EQ(bytes.find("\x03svg"), std::string::npos);

    CVQPrjSettings read;
    CVQDocTree tree;
    ASSERT_EQ(Read(bytes, read, tree), VQFileResult::Ok);
    EXPECT_EQ(vq::FindExt(*read.ExtList(vq::kGroupImage), "gif"), nullptr);
    EXPECT_EQ(vq::FindExt(*read.ExtList(vq::kGroupImage), "svg"), nullptr);
    EXPECT_EQ(*read.ExtList(vq::kGroupImage), *s.ExtList(vq::kGroupImage));
}

TEST(ProjectFile, ExtensionDeltaAgainstTheBaseTable) {
    CVQPrjSettings s;
    CVQCustomArray& image = *s.ExtList(vq::kGroupImage);
    vq::FindExt(image, "jpg")->enabled = 0;
    Tree t;
    const std::string disabled = Write(s, t);
    EXPECT_NE(disabled.find(std::string("\x02\x00\x00\x00\x00\x03jpg", 9)), std::string::npos);
    vq::FindExt(image, "jpg")->enabled = 1; // re-enabled: equal to the base table again
    const std::string enabled = Write(s, t);
    EXPECT_EQ(enabled.find("jpg"), std::string::npos);
    // The extra extensions of a new project's list are written as enabled entries.
    EXPECT_NE(enabled.find(std::string("\x02\x00\x00\x00\x01\x04wbmp", 10)), std::string::npos);
}

TEST(ProjectFile, RelativeLocalPaths) {
    const struct {
        const char* path;
        const char* stored;
    } cases[] = {
        {"/home/u/Projects/site/a.htm", "site\\a.htm"},
        {"/home/u/Projects/a.htm", "a.htm"},
        {"/home/u/Downloads/x/a.htm", "..\\Downloads\\x\\a.htm"},
        {"/home/u/ProjectsB/a.htm", "..\\ProjectsB\\a.htm"},
        {"/home/U/projects/a.htm", "..\\..\\U\\projects\\a.htm"}, // case counts
        {"/home/u/Projects/../a.htm", "/home/u/Projects/../a.htm"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vq::RelativeLocalPath(c.path, kDir), c.stored) << c.path;
        EXPECT_EQ(vq::ResolveLocalPath(c.stored, kDir), c.path) << c.stored;
    }
    // Moving the project file together with its download directory keeps the paths valid.
    EXPECT_EQ(vq::ResolveLocalPath("site\\a.htm", "/mnt/usb/Projects/"),
              "/mnt/usb/Projects/site/a.htm");
    EXPECT_EQ(vq::ResolveLocalPath("..\\..\\..\\..\\x", "/a/"), "/x");
    EXPECT_EQ(vq::ResolveLocalPath(std::string(2000, 'a'), kDir).size(), 1039U);
}

TEST(ProjectFile, RelativeAddresses) {
    const std::string prefix = vq::AddressPrefix("http://www.site.com/docs/en/index.htm");
    ASSERT_EQ(prefix, "http://www.site.com/docs/en/");
    const struct {
        const char* address;
        const char* stored;
    } cases[] = {
        {"http://www.site.com/docs/en/page.htm", "page.htm"},
        {"http://www.site.com/docs/en/sub/p.htm?x=a/b", "sub/p.htm?x=a/b"},
        {"http://www.site.com/docs/img/a.gif", "../img/a.gif"},
        {"http://www.site.com/", "../../"},
        {"http://www.site.com/docs/en/", "http://www.site.com/docs/en/"}, // would be empty
        {"http://www.site.com/Docs/en/p.htm", "../../Docs/en/p.htm"},     // case counts
        {"http://other.com/docs/en/p.htm", "http://other.com/docs/en/p.htm"},
        {"https://www.site.com/docs/en/p.htm", "https://www.site.com/docs/en/p.htm"},
        {"http://www.site.com/docs/en/../x.htm", "http://www.site.com/docs/en/../x.htm"},
        {"http://www.site.com/docs/en/http://x", "http://www.site.com/docs/en/http://x"},
        {"http://www.site.com:8080/docs/en/p.htm", "http://www.site.com:8080/docs/en/p.htm"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vq::RelativeAddress(c.address, prefix), c.stored) << c.address;
        EXPECT_EQ(vq::ResolveAddress(c.stored, prefix), c.address) << c.stored;
    }
    EXPECT_EQ(vq::AddressPrefix(""), "");
    EXPECT_EQ(vq::RelativeAddress("http://s.com/a", ""), "http://s.com/a");
    EXPECT_EQ(vq::ResolveAddress("../../../../x", prefix), "http://www.site.com/x");
}

// Little-endian DWORD text for hand-made files.
std::string Dw(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

// A main block whose DWORDs are all zero after the five strings, as a hand-made file's start.
std::string HeaderAndMainBlock() {
    std::string bytes = std::string("\x1b") + std::string(CVQProjectFile::kHeader);
    bytes += std::string(5, '\0'); // five empty STRINGs
    bytes += std::string(8 * 4, '\0');
    bytes += std::string(8, '\0'); // DOUBLE
    bytes += std::string(20 * 4, '\0');
    return bytes;
}

std::string NodeRecord(std::uint32_t kind, std::uint32_t own, std::uint32_t parent) {
    std::string r = Dw(kind) + Dw(0); // empty title
    if (kind != kNodeRoot)
        r += Dw(0) + Dw(0) + Dw(1) + Dw(0);
    return r + Dw(own) + Dw(0xFFFFFFFF) + Dw(0xFFFFFFFF) + Dw(parent) + Dw(0xFFFFFFFF);
}

TEST(ProjectFile, DamagedFilesLoadAsInvalidOrShortened) {
    const CVQPrjSettings written = ChangedSettings();
    Tree t;
    FillTree(t);
    const std::string good = Write(written, t);
    const std::size_t endOfTree = EndOfTree(written, t);

    // Every cut: before the end of the tree the file is not valid, after it it opens.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        CVQPrjSettings s;
        CVQDocTree tree;
        const VQFileResult r = Read(std::string_view(good).substr(0, cut), s, tree);
        if (cut < 28)
            EXPECT_EQ(r, VQFileResult::NotProject) << cut;
        else if (cut < endOfTree)
            EXPECT_EQ(r, VQFileResult::ReadError) << cut;
        else
            EXPECT_EQ(r, VQFileResult::Ok) << cut;
    }

    // Flipping each byte of the file in turn never crashes; whatever opens has a root.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0xA5);
        CVQPrjSettings s;
        CVQDocTree tree;
        if (Read(bad, s, tree) == VQFileResult::Ok) {
            ASSERT_NE(tree.Root(), nullptr) << i;
            EXPECT_EQ(tree.Recount(), tree.NodeCount()) << i;
        }
    }

    const std::string start = HeaderAndMainBlock();
    const struct {
        const char* name;
        std::string bytes;
        VQFileResult result;
        std::size_t nodes; // below the root, when it opens
    } cases[] = {
        {"huge node count", start + Dw(0xFFFFFFF0) + NodeRecord(1, 0, 0xFFFFFFFF),
         VQFileResult::ReadError, 0},
        {"huge title length", start + Dw(1) + Dw(1) + Dw(0x7FFFFFFF) + "abc",
         VQFileResult::ReadError, 0},
        {"huge string length",
         std::string("\x1b") + std::string(CVQProjectFile::kHeader) + "\xFF\xFF\xFF" +
             Dw(0xFFFFFFF0),
         VQFileResult::ReadError, 0},
        {"no nodes", start + Dw(0), VQFileResult::Ok, 0},
        {"parent index beyond the file",
         start + Dw(3) + NodeRecord(1, 0, 0xFFFFFFFF) + NodeRecord(3, 1, 77) + NodeRecord(3, 2, 0),
         VQFileResult::Ok, 1},
        {"parent after its child",
         start + Dw(3) + NodeRecord(1, 0, 0xFFFFFFFF) + NodeRecord(2, 1, 2) + NodeRecord(2, 2, 1),
         VQFileResult::Ok, 0},
        {"node below itself", start + Dw(2) + NodeRecord(1, 0, 0xFFFFFFFF) + NodeRecord(2, 1, 1),
         VQFileResult::Ok, 0},
        {"child of a dropped node",
         start + Dw(4) + NodeRecord(1, 0, 0xFFFFFFFF) + NodeRecord(2, 1, 9) + NodeRecord(3, 2, 1) +
             NodeRecord(3, 3, 0),
         VQFileResult::Ok, 1},
        {"own indices out of order",
         start + Dw(3) + NodeRecord(1, 10, 0xFFFFFFFF) + NodeRecord(2, 20, 10) +
             NodeRecord(3, 30, 20),
         VQFileResult::Ok, 2},
        {"huge counts in later sections",
         start + Dw(1) + NodeRecord(1, 0, 0xFFFFFFFF) + std::string(60, '\0') + Dw(0xFFFFFFFF),
         VQFileResult::Ok, 0},
        {"not a project", "PK\x03\x04", VQFileResult::NotProject, 0},
    };
    for (const auto& c : cases) {
        CVQPrjSettings s;
        CVQDocTree tree;
        ASSERT_EQ(Read(c.bytes, s, tree), c.result) << c.name;
        if (c.result == VQFileResult::Ok) {
            ASSERT_NE(tree.Root(), nullptr) << c.name;
            EXPECT_EQ(tree.NodeCount(), c.nodes) << c.name;
            EXPECT_EQ(tree.Recount(), c.nodes) << c.name;
        }
    }
}

TEST(ProjectFile, ReadingKeepsWhatItReadsInTheFormItIsWritten) {
    // A title of 300 characters and no nodes: the root made for it keeps 127, as a read one does.
    std::string bytes = std::string("\x1b") + std::string(CVQProjectFile::kHeader);
    bytes += std::string(4, '\0') + "\xFF" + std::string("\x2C\x01", 2) + std::string(300, 't');
    bytes += HeaderAndMainBlock().substr(28 + 5) + Dw(0);
    // An HTML delta that names one new extension twice, once with a dot and in capitals.
    bytes += std::string(20, '\0') + std::string(40, '\0') + Dw(2);
    bytes += Dw(1) + '\x01' + '\x03' + "xyz" + Dw(1) + '\x00' + '\x04' + ".XYZ";
    CVQPrjSettings s;
    CVQDocTree tree;
    ASSERT_EQ(Read(bytes, s, tree), VQFileResult::Ok);
    EXPECT_EQ(s.title.size(), 300U);
    EXPECT_EQ(tree.Root()->Title(), std::string(127, 't'));
    const CVQCustomArray& html = *s.ExtList(vq::kGroupHtml);
    EXPECT_EQ(
        std::count_if(html.begin(), html.end(), [](const CVQFileExt& e) { return e.ext == "xyz"; }),
        1);
    EXPECT_EQ(vq::FindExt(html, "xyz")->enabled, 0);
}

TEST(ProjectFile, HostileLaterSectionsStayLinear) {
    // A delta of 300,000 distinct extensions and as many filters: loads quickly and keeps each
    // once.
    std::string bytes = HeaderAndMainBlock() + Dw(1) + NodeRecord(1, 0, 0xFFFFFFFF);
    bytes += std::string(8, '\0') + Dw(0) + std::string(8, '\0') + std::string(40, '\0');
    const std::uint32_t n = 300000;
    bytes += Dw(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::string ext = "e" + std::to_string(i % (n / 2));
        bytes += Dw(1) + '\x01' + static_cast<char>(ext.size()) + ext;
    }
    for (int g = 1; g < 8; ++g)
        bytes += Dw(0);
    bytes += Dw(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::string server = "s" + std::to_string(i % 1000);
        bytes += Dw(1) + Dw(15) + static_cast<char>(server.size()) + server + '\0' + '\0';
    }
    CVQPrjSettings s;
    CVQDocTree tree;
    ASSERT_EQ(Read(bytes, s, tree), VQFileResult::Ok);
    EXPECT_EQ(s.ExtList(vq::kGroupHtml)->size(), vq::BaseExtensions(vq::kGroupHtml).size() + n / 2);
    EXPECT_EQ(s.urlFilter.size(), 1000U);
}

TEST(ProjectFile, SaveKeepsBackupAndFileTests) {
    CVQTempDir dir;
    const std::string path = dir.File("p.vqp");
    const std::string backup = dir.File("p.vqb");
    CVQPrjSettings s;
    s.title = "first";
    Tree t;
    ASSERT_EQ(CVQProjectFile(path).Save(s, t.tree, backup), VQFileResult::Ok);
    EXPECT_FALSE(fs::exists(backup)); // nothing to keep yet
    EXPECT_TRUE(CVQProjectFile::IsProjectFile(path));
    EXPECT_FALSE(CVQProjectFile::IsEncrypted(path));

    s.title = "second";
    ASSERT_EQ(CVQProjectFile(path).Save(s, t.tree, backup), VQFileResult::Ok);
    CVQPrjSettings fromBackup;
    CVQDocTree tree;
    ASSERT_EQ(CVQProjectFile(backup).Read(fromBackup, tree), VQFileResult::Ok);
    EXPECT_EQ(fromBackup.title, "first");
    CVQPrjSettings current;
    ASSERT_EQ(CVQProjectFile(path).Read(current, tree), VQFileResult::Ok);
    EXPECT_EQ(current.title, "second");
    // Only the project and its backup are left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);

    std::ofstream(dir.File("enc.vqp")) << "PK\x03\x04rest";
    EXPECT_TRUE(CVQProjectFile::IsEncrypted(dir.File("enc.vqp")));
    EXPECT_FALSE(CVQProjectFile::IsProjectFile(dir.File("enc.vqp")));
    EXPECT_FALSE(CVQProjectFile::IsProjectFile(dir.File("missing.vqp")));
}

TEST(ProjectFile, FailedSaveLeavesNoTemporaryFile) {
    CVQTempDir dir;
    fs::create_directory(dir.File("taken.vqp")); // the name is a directory: the save fails
    CVQPrjSettings s;
    Tree t;
    EXPECT_EQ(CVQProjectFile(dir.File("taken.vqp")).Save(s, t.tree, ""), VQFileResult::WriteError);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(CVQProjectFile(dir.File("none/p.vqp")).Save(s, t.tree, ""), VQFileResult::WriteError);
}

TEST(ProjectFile, FailedWriteLeavesThePreviousVersion) {
    CVQTempDir dir;
    const std::string path = dir.File("p.vqp");
    CVQPrjSettings s;
    Tree t;
    for (int i = 0; i < 3000; ++i)
        t.Add(t.root, kNodeFile, "http://s.com/file" + std::to_string(i) + ".gif", "");
    ASSERT_EQ(CVQProjectFile(path).Save(s, t.tree, ""), VQFileResult::Ok);
    std::ifstream in(path, std::ios::binary);
    std::stringstream before;
    before << in.rdbuf();
    ASSERT_GT(before.str().size(), 100000U);

    // Files may not grow beyond 64 KB: the new version cannot be written.
    s.title = "changed";
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{65536, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const VQFileResult result = CVQProjectFile(path).Save(s, t.tree, dir.File("p.vqb"));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, VQFileResult::WriteError);
    std::ifstream again(path, std::ios::binary);
    std::stringstream after;
    after << again.rdbuf();
    EXPECT_EQ(after.str(), before.str());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(ProjectFile, FileAndMemoryFormsAgree) {
    CVQTempDir dir;
    const CVQPrjSettings s = ChangedSettings();
    Tree t;
    FillTree(t);
    const std::string path = dir.File("p.vqp");
    ASSERT_EQ(CVQProjectFile(path).Save(s, t.tree, ""), VQFileResult::Ok);
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), CVQProjectFile::WriteBytes(s, t.tree, dir.Path() + "/"));
    CVQPrjSettings read;
    CVQDocTree tree;
    ASSERT_EQ(CVQProjectFile(path).Read(read, tree), VQFileResult::Ok);
    EXPECT_EQ(read, s);
}

} // namespace
