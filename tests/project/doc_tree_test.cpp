#include "desktop/project/doc_tree.h"
#include "desktop/project/file_types.h"
#include "desktop/project/node_placement.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// root
//   a (page)            http://s.com/a.htm
//     a1 (file)         http://s.com/a1.gif
//     a2 (page)         http://s.com/d/a2.htm
//       a21 (file)      http://s.com/d/a21.js
//   b (page)            http://s.com/b.htm
//     b1 (file)         http://s.com/b1.css
struct SmallTree {
    CVQDocTree tree;
    CVQDocNode* root;
    CVQDocNode *a, *a1, *a2, *a21, *b, *b1;

    SmallTree() {
        root = tree.CreateRoot("Site");
        a = Add(root, kNodePage, "http://s.com/a.htm");
        a1 = Add(a, kNodeFile, "http://s.com/a1.gif");
        a2 = Add(a, kNodePage, "http://s.com/d/a2.htm");
        a21 = Add(a2, kNodeFile, "http://s.com/d/a21.js");
        b = Add(root, kNodePage, "http://s.com/b.htm");
        b1 = Add(b, kNodeFile, "http://s.com/b1.css");
    }
    CVQDocNode* Add(CVQDocNode* parent, int kind, std::string_view address) {
        return tree.AddNode(parent,
                            CVQNodeInit{.kind = kind, .address = address, .title = address});
    }
};

std::vector<std::string> Titles(const CVQDocTree& tree, bool levelOrder,
                                CVQDocNode* start = nullptr) {
    std::vector<std::string> seen;
    const auto visit = [&seen](CVQDocNode& n) {
        seen.emplace_back(n.kind == kNodeRoot ? "root" : std::string(n.Address().substr(13)));
        return true;
    };
    if (levelOrder)
        tree.WalkLevelOrder(start, visit);
    else
        tree.WalkPreOrder(start, visit);
    return seen;
}

using Strings = std::vector<std::string>;

TEST(DocTree, RootTitleAndCount) {
    CVQDocTree tree;
    EXPECT_EQ(tree.CreateRoot("")->Title(), "New Project");
    CVQDocNode* root = tree.CreateRoot("Mine");
    EXPECT_EQ(root->Title(), "Mine");
    EXPECT_EQ(root->kind, kNodeRoot);
    tree.AddPage(root);
    tree.AddFile(root);
    EXPECT_EQ(tree.NodeCount(), 2U);
    tree.CreateRoot("Again"); // replaces the whole tree
    EXPECT_EQ(tree.NodeCount(), 0U);
    EXPECT_EQ(tree.Root()->firstChild.load(), nullptr);
}

TEST(DocTree, AddingMarksTheProjectChangedAndRefusesWithoutParent) {
    CVQDocTree tree;
    std::atomic<bool> changed{false};
    tree.SetChangedFlag(&changed);
    CVQDocNode* root = tree.CreateRoot("x");
    EXPECT_EQ(tree.AddPage(nullptr), nullptr);
    EXPECT_FALSE(changed);
    EXPECT_NE(tree.AddFile(root), nullptr);
    EXPECT_TRUE(changed);
}

TEST(DocTree, InsertAfterAndAppendKeepSiblingOrder) {
    SmallTree t;
    CVQDocNode* x = t.tree.InsertFileAfter(t.a1);
    t.tree.SetAddress(x, "http://s.com/x.png#frag");
    CVQDocNode* y = t.Add(t.a, kNodeFile, "http://s.com/y.png");
    EXPECT_EQ(x->Address(), "http://s.com/x.png"); // the fragment is not kept
    EXPECT_EQ(x->kind, kNodeFile);
    EXPECT_EQ(Titles(t.tree, false), (Strings{"root", "a.htm", "a1.gif", "x.png", "d/a2.htm",
                                              "d/a21.js", "y.png", "b.htm", "b1.css"}));
    EXPECT_EQ(x->prev.load(), t.a1);
    EXPECT_EQ(x->next.load(), t.a2);
    EXPECT_EQ(t.a2->prev.load(), x);
    EXPECT_EQ(y->prev.load(), t.a2);
    EXPECT_EQ(t.tree.NodeCount(), 8U);
    EXPECT_EQ(t.tree.InsertFileAfter(t.root), nullptr); // the root has no siblings
}

TEST(DocTree, Walks) {
    SmallTree t;
    EXPECT_EQ(Titles(t.tree, false),
              (Strings{"root", "a.htm", "a1.gif", "d/a2.htm", "d/a21.js", "b.htm", "b1.css"}));
    EXPECT_EQ(Titles(t.tree, true),
              (Strings{"root", "a.htm", "b.htm", "a1.gif", "d/a2.htm", "b1.css", "d/a21.js"}));
    // A walk from a branch never leaves it, even where the branch has a next sibling.
    EXPECT_EQ(Titles(t.tree, false, t.a), (Strings{"a.htm", "a1.gif", "d/a2.htm", "d/a21.js"}));
    EXPECT_EQ(Titles(t.tree, true, t.a), (Strings{"a.htm", "a1.gif", "d/a2.htm", "d/a21.js"}));
    EXPECT_EQ(Titles(t.tree, false, t.a1), (Strings{"a1.gif"}));
    int visited = 0;
    t.tree.WalkPreOrder(nullptr, [&visited](CVQDocNode&) { return ++visited < 3; });
    EXPECT_EQ(visited, 3);
}

TEST(DocTree, StatusTexts) {
    const struct {
        int status;
        int reason;
        const char* text;
    } cases[] = {
        {0, 0, "To be analyzed"},
        {1, 0, "Downloading"},
        {2, 0, "Downloaded"},
        {3, -1, "Error - Incomplete download"},
        {3, 404, "Error - 404"},
        {3, 0, "Error"},
        {4, 0, "To be analyzed"},
        {5, 1, "Filtered out - file is located on a different server"},
        {5, 2, "Filtered out - URL Filter"},
        {5, 3, "Filtered out - File Filter"},
        {5, 4, "Filtered out - file is too big"},
        {5, 5, "Filtered out - file is too small"},
        {5, 6, "Filtered out - preview mode"},
        {5, 7, "Filtered out - file is located outside starting directory"},
        {5, 8, "Filtered out - Level restriction"},
        {5, 9, "Filtered out"},
        {5, 0, "Filtered out"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::StatusText(c.status, c.reason), c.text) << c.status << "/" << c.reason;
}

TEST(NodePlacement, DirectoryPosition) {
    const std::string start = "http://www.s.com/a/b/";
    const struct {
        const char* address;
        int position;
    } cases[] = {
        {"http://www.s.com/a/b/page.htm", 0},
        {"http://www.s.com/a/b/", 0},
        {"http://WWW.S.COM/A/B/c/d/x.gif", 2},
        {"http://www.s.com/a/x.htm", -1},     // one level above
        {"http://www.s.com/a/c/x.htm", -1},   // a sibling directory
        {"http://www.s.com/x/y/z/p.htm", -3}, // three differing levels
        {"http://other.com/p.htm", -1073741824},
        {"http://other.com/u/v/p.htm", -1073741826},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::DirectoryPosition(c.address, start), c.position) << c.address;
    EXPECT_EQ(vq::DirectoryPosition("http:///x.htm", start), kOtherServerPosition);
}

TEST(NodePlacement, Levels) {
    const int offsite = kOtherServerPosition;
    const struct {
        const char* name;
        int pageLevel, pagePosition, position;
        bool frame, css;
        int level;
    } cases[] = {
        {"start page below the root", kNoPosition, kNoPosition, 0, false, false, 0},
        {"image on a level-2 page", 2, 0, 0, false, false, 3},
        {"style sheet on a level-2 page", 2, 0, 0, false, true, 2},
        {"frame source on a level-2 page", 2, 0, 1, true, false, 2},
        {"first offsite page", 2, 0, offsite, false, false, 0},
        {"offsite page below an offsite page", 0, offsite - 1, offsite, false, false, 1},
        {"onsite page below an offsite page", 4, offsite - 1, 0, false, false, 5},
        {"outside the starting directory", 1, 0, -2, false, false, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::NewNodeLevel(c.pageLevel, c.pagePosition, c.position, c.frame, c.css),
                  c.level)
            << c.name;
    EXPECT_TRUE(vq::IsStyleSheetAddress("http://s.com/s/Main.CSS?v=2"));
    EXPECT_FALSE(vq::IsStyleSheetAddress("http://s.com/css/page.htm"));
    EXPECT_FALSE(vq::IsStyleSheetAddress("http://s.com/page.css.php"));
}

TEST(DocTree, Preparations) {
    SmallTree t;
    CVQDocNode* nodes[] = {t.a, t.a1, t.a2, t.a21, t.b, t.b1};
    const auto set = [&](std::initializer_list<std::pair<int, int>> states) {
        std::size_t i = 0;
        for (auto [status, reason] : states) {
            nodes[i]->status = status;
            nodes[i]->reason = reason;
            nodes[i]->selection = kSelForcedIn;
            nodes[i]->retries = 2;
            ++i;
        }
    };
    const auto statuses = [&] {
        std::vector<int> out;
        for (CVQDocNode* n : nodes)
            out.push_back(n->status);
        return out;
    };
    const auto selections = [&] {
        std::vector<int> out;
        for (CVQDocNode* n : nodes)
            out.push_back(n->selection);
        return out;
    };
    const std::initializer_list<std::pair<int, int>> mixed = {{2, 0},   {1, 0}, {3, -1},
                                                              {3, 404}, {5, 3}, {4, 0}};

    set(mixed);
    t.tree.ResetForNewDownload();
    EXPECT_EQ(statuses(), (std::vector<int>{4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(t.b1->retries, 0);

    set(mixed);
    t.tree.PrepareContinue();
    EXPECT_EQ(statuses(), (std::vector<int>{2, 0, 0, 3, 0, 4}));
    EXPECT_EQ(selections(), (std::vector<int>{2, 2, 0, 2, 2, 2}));
    EXPECT_EQ(t.a2->retries, 0);

    set(mixed);
    t.tree.PrepareFailedOnly();
    EXPECT_EQ(selections(), (std::vector<int>{2, 2, 0, 1, 2, 2}));
    EXPECT_EQ(t.a21->retries, 0);
    EXPECT_EQ(t.b->retries, 2);

    set(mixed);
    t.tree.PrepareIncompleteOnly();
    EXPECT_EQ(selections(), (std::vector<int>{2, 2, 1, 2, 2, 2}));

    // Only the branch below a2 (a2 and a21) for a "Download Branch".
    set(mixed);
    t.tree.ResetForNewDownload(t.a2);
    EXPECT_EQ(statuses(), (std::vector<int>{2, 1, 0, 0, 5, 4}));

    CVQDocTree::ToggleSelection(t.b);
    EXPECT_EQ(t.b->selection, kSelForcedIn | kSelSelected);
    CVQDocTree::ToggleSelection(t.b);
    EXPECT_EQ(t.b->selection, kSelForcedIn);
}

TEST(DocTree, FindByAddressWithAndWithoutIndex) {
    for (bool indexed : {false, true}) {
        SmallTree t;
        if (indexed) {
            ASSERT_TRUE(t.tree.RebuildIndex());
        }
        EXPECT_EQ(t.tree.HasIndex(), indexed);
        CVQDocNode* late = t.Add(t.b, kNodeFile, "http://s.com/Late/");
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/Late"), late) << indexed; // one slash less
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/d/a2.htm"), t.a2) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("HTTP://S.COM/D/A2.HTM#part"), t.a2) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("HTTP://S.COM/LATE/"), late) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/d/a2.html"), nullptr) << indexed;

        t.tree.SetAddress(t.a2, "http://s.com/moved.htm");
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/d/a2.htm"), nullptr) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/moved.htm"), t.a2) << indexed;

        ASSERT_TRUE(t.tree.DeleteBranch(t.a, false, [](std::string_view) { return false; }));
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/moved.htm"), nullptr) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/d/a21.js"), nullptr) << indexed;
        EXPECT_EQ(t.tree.FindByAddress("http://s.com/b1.css"), t.b1) << indexed;
    }
}

TEST(DocTree, IndexSurvivesManyInsertsAndRemovals) {
    CVQDocTree tree;
    CVQDocNode* root = tree.CreateRoot("x");
    ASSERT_TRUE(tree.RebuildIndex());
    std::vector<CVQDocNode*> nodes;
    for (int i = 0; i < 5000; ++i) {
        const std::string address = "http://s.com/p" + std::to_string(i) + ".htm";
        nodes.push_back(tree.AddNode(root, CVQNodeInit{.kind = kNodeFile, .address = address}));
    }
    for (int i = 0; i < 5000; i += 3)
        ASSERT_TRUE(tree.DeleteNodeKeepChildren(nodes[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 5000; ++i) {
        const std::string address = "http://s.com/p" + std::to_string(i) + ".htm";
        EXPECT_EQ(tree.FindByAddress(address),
                  i % 3 == 0 ? nullptr : nodes[static_cast<std::size_t>(i)])
            << address;
    }
}

TEST(DocTree, LostIndexFallsBackToTheWalk) {
    SmallTree t;
    t.tree.SetIndexFailureForTesting(true);
    EXPECT_FALSE(t.tree.RebuildIndex());
    EXPECT_FALSE(t.tree.HasIndex());
    EXPECT_EQ(t.tree.FindByAddress("http://s.com/b1.css"), t.b1);
}

TEST(DocTree, DeleteNodeKeepChildrenMovesThemUp) {
    SmallTree t;
    ASSERT_TRUE(t.tree.DeleteNodeKeepChildren(t.a));
    EXPECT_EQ(Titles(t.tree, false),
              (Strings{"root", "a1.gif", "d/a2.htm", "d/a21.js", "b.htm", "b1.css"}));
    EXPECT_EQ(t.a1->parent.load(), t.root);
    EXPECT_EQ(t.a2->next.load(), t.b);
    EXPECT_EQ(t.b->prev.load(), t.a2);
    EXPECT_EQ(t.root->firstChild.load(), t.a1);
    EXPECT_EQ(t.tree.NodeCount(), 5U);
    EXPECT_EQ(t.tree.Recount(), 5U);
    EXPECT_FALSE(t.tree.DeleteNodeKeepChildren(t.root));
    // Appending after the structure changed still goes to the end.
    CVQDocNode* z = t.Add(t.root, kNodeFile, "http://s.com/z.gif");
    EXPECT_EQ(t.b->next.load(), z);
}

TEST(DocTree, DeleteBranchWithFiles) {
    CVQTempDir dir;
    const std::string save = dir.File("save") + "/";
    fs::create_directories(save + "d/e");
    const auto touch = [](const std::string& path) { std::ofstream(path) << "x"; };
    touch(save + "a.htm");
    touch(save + "d/a2.htm");
    touch(save + "d/e/a21.js");
    touch(save + "d/keep.txt"); // not in the tree: d stays
    touch(dir.File("outside.htm"));

    SmallTree t;
    t.tree.SetLocalPath(t.a, save + "a.htm");
    t.tree.SetLocalPath(t.a2, save + "d/a2.htm");
    t.tree.SetLocalPath(t.a21, save + "d/e/a21.js");
    t.tree.SetLocalPath(t.a1, save + "../outside.htm"); // a damaged project points outside
    ASSERT_TRUE(t.tree.DeleteBranch(
        t.a, true, [&save](std::string_view path) { return vq::IsInsideDirectory(path, save); }));
    EXPECT_FALSE(fs::exists(save + "a.htm"));
    EXPECT_FALSE(fs::exists(save + "d/a2.htm"));
    EXPECT_FALSE(fs::exists(save + "d/e")); // left empty, removed
    EXPECT_TRUE(fs::exists(save + "d/keep.txt"));
    EXPECT_TRUE(fs::exists(save));
    EXPECT_TRUE(fs::exists(dir.File("outside.htm")));
    EXPECT_EQ(Titles(t.tree, false), (Strings{"root", "b.htm", "b1.css"}));
    EXPECT_EQ(t.tree.NodeCount(), 2U);
    EXPECT_FALSE(t.tree.DeleteBranch(t.root, true, [](std::string_view) { return true; }));
}

TEST(DocTree, DeleteBranchWithoutFilesSetsPagesAndScriptsBack) {
    CVQTempDir dir;
    const auto make = [&dir](const std::string& name) {
        std::ofstream(dir.File(name)) << "x";
        return dir.File(name);
    };
    SmallTree t;
    t.a->group = vq::kGroupHtml;
    t.a1->group = vq::kGroupImage;
    t.a21->group = vq::kGroupJava;
    t.tree.SetLocalPath(t.a, make("a.htm"));
    t.tree.SetLocalPath(t.a1, make("a1.gif"));
    t.tree.SetLocalPath(t.a21, make("a21.js"));
    const auto before = fs::last_write_time(dir.File("a1.gif"));
    ASSERT_TRUE(t.tree.DeleteBranch(t.a, false, [](std::string_view) { return true; }));
    EXPECT_TRUE(fs::exists(dir.File("a.htm")));
    EXPECT_EQ(fs::last_write_time(dir.File("a1.gif")), before);
    for (const char* name : {"a.htm", "a21.js"}) {
        const auto back = before - fs::last_write_time(dir.File(name));
        EXPECT_GE(back, std::chrono::seconds(59)) << name;
        EXPECT_LE(back, std::chrono::seconds(61)) << name;
    }
}

TEST(DocTree, DetachRefusesABranchBeingDownloaded) {
    SmallTree t;
    t.a21->status = kStatusDownloading;
    std::vector<CVQStoredFile> files;
    EXPECT_FALSE(t.tree.DetachBranch(t.a, &files, true));
    EXPECT_EQ(t.tree.NodeCount(), 6U);
    EXPECT_TRUE(t.tree.DetachBranch(t.b, &files, true));
    EXPECT_EQ(t.tree.NodeCount(), 4U);
}

TEST(DocTree, InsideDirectory) {
    EXPECT_TRUE(vq::IsInsideDirectory("/s/a/b.htm", "/s/"));
    EXPECT_TRUE(vq::IsInsideDirectory("/s/a", "/s"));
    EXPECT_FALSE(vq::IsInsideDirectory("/s/", "/s/"));
    EXPECT_FALSE(vq::IsInsideDirectory("/s/../etc/passwd", "/s/"));
    EXPECT_FALSE(vq::IsInsideDirectory("/sx/a", "/s/"));
    EXPECT_FALSE(vq::IsInsideDirectory("relative/a", "/s/"));
}

TEST(DocTree, WalksWhileWorkersAppend) {
    CVQDocTree tree;
    CVQDocNode* root = tree.CreateRoot("busy");
    ASSERT_TRUE(tree.RebuildIndex());
    constexpr int kWorkers = 4;
    constexpr int kPerWorker = 2000;
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&tree, root, &done, w] {
            CVQDocNode* page = tree.AddPage(root);
            for (int i = 0; i < kPerWorker; ++i) {
                const std::string address =
                    "http://s.com/" + std::to_string(w) + "/" + std::to_string(i) + ".htm";
                CVQDocNode* node = tree.AddNode(i % 2 ? page : root,
                                                CVQNodeInit{.kind = kNodeFile, .address = address});
                node->status = kStatusDownloaded;
                EXPECT_EQ(tree.FindByAddress(address), node);
            }
            ++done;
        });
    }
    // The engine's node search walks without the tree lock while the parsers add.
    do {
        std::size_t seen = 0;
        tree.WalkPreOrder(nullptr, [&seen](CVQDocNode& n) {
            seen += n.status == kStatusDownloaded;
            return true;
        });
        EXPECT_LE(seen, static_cast<std::size_t>(kWorkers * kPerWorker));
    } while (done < kWorkers);
    for (std::thread& t : workers)
        t.join();
    EXPECT_EQ(tree.NodeCount(), static_cast<std::size_t>(kWorkers * (kPerWorker + 1)));
    EXPECT_EQ(tree.Recount(), tree.NodeCount());
}

TEST(DocTree, DeepChainIsFreedWithoutRecursion) {
    CVQDocTree tree;
    CVQDocNode* n = tree.CreateRoot("deep");
    for (int i = 0; i < 200000; ++i)
        n = tree.AddPage(n);
    EXPECT_EQ(tree.NodeCount(), 200000U);
    EXPECT_TRUE(
        tree.DeleteBranch(tree.Root()->firstChild, false, [](std::string_view) { return false; }));
    EXPECT_EQ(tree.NodeCount(), 0U);
}

} // namespace
