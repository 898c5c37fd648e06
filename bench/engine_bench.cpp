// Figures for the download engine. "choice": the cost of choosing the next node for trees of
// 1,000 to 1,000,000 nodes, against a walk from the root. Usage: bench_engine choice
#include "desktop/engine/node_queue.h"
#include "desktop/project/doc_tree.h"
#include "desktop/project/download_state.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A site of pages with 30 links each (6 pages, 24 other files), filled level by level; every
// node has the given status.
std::vector<CVQDocNode*> BuildSite(CVQDocTree& tree, std::size_t count, int status) {
    CVQDocNode* root = tree.CreateRoot("Site");
    std::vector<CVQDocNode*> pages{root};
    std::vector<CVQDocNode*> all;
    all.reserve(count);
    std::size_t parent = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && i % 30 == 0)
            ++parent;
        const bool page = i % 5 == 0;
        const std::string address = "http://www.site.com/s" + std::to_string(i % 97) + "/n" +
                                    std::to_string(i) + (page ? ".html" : ".jpg");
        CVQDocNode* n = tree.AddNode(pages[std::min(parent, pages.size() - 1)],
                                     CVQNodeInit{.kind = page ? kNodePage : kNodeFile,
                                                 .address = address,
                                                 .status = status});
        if (page)
            pages.push_back(n);
        all.push_back(n);
    }
    return all;
}

CVQDocNode* WalkFromRoot(const CVQDocTree& tree) {
    CVQDocNode* found = nullptr;
    tree.WalkLevelOrder(nullptr, [&found](CVQDocNode& n) {
        if (!CVQNodeQueue::Qualifies(n, kDownloadNew))
            return true;
        found = &n;
        return false;
    });
    return found;
}

const CVQNodeQueue::Judge kTakeAll = [](CVQDocNode&) { return true; };

// An update run: every node downloaded before; the choices come in walk order.
void UpdateRun(std::size_t count) {
    CVQDocTree tree;
    BuildSite(tree, count, kStatusToCheck);
    CVQNodeQueue queue(tree);
    tree.SetListener(&queue);
    queue.Reset(VQWalkOrder::kLevelByLevel, kDownloadNew, nullptr);
    auto start = Clock::now();
    CVQDocNode* first = queue.Next(kTakeAll); // builds the queue with one walk
    first->status = kStatusDownloaded;
    const double build = Seconds(start);
    const int choices = static_cast<int>(std::min<std::size_t>(20000, count - 1));
    start = Clock::now();
    for (int i = 0; i < choices; ++i) {
        CVQDocNode* n = queue.Next(kTakeAll);
        n->status = kStatusDownloaded;
        queue.Release(*n);
    }
    const double perChoice = Seconds(start) / choices;
    // What the walk from the root costs once those nodes are done.
    start = Clock::now();
    WalkFromRoot(tree);
    const double walk = Seconds(start);
    tree.SetListener(nullptr);
    std::printf("update run   %9zu nodes: first walk %8.1f ms, then %7.3f us a choice;"
                " a walk from the root then %9.1f us\n",
                count, build * 1e3, perChoice * 1e6, walk * 1e6);
}

// A crawl of a site of count nodes: page k links to pages 6k+1 to 6k+6 and to 24 files, each
// new when found, so the tree is the site's own shape. Four workers hold a node each; finishing
// a page appends its links. The time inside the choices is summed; halfway, the walk from the
// root that the choice replaces is timed on the same tree.
void Crawl(std::size_t count, VQWalkOrder order) {
    CVQDocTree tree;
    tree.CreateRoot("Site");
    CVQNodeQueue queue(tree);
    tree.SetListener(&queue);
    queue.Reset(order, kDownloadNew, nullptr);
    const std::size_t pages = count / 25;
    std::vector<std::size_t> pageOf; // node serial -> page number, for pages
    std::size_t files = 0;
    const auto addPage = [&](CVQDocNode* parent, std::size_t k) {
        tree.AddNode(parent,
                     CVQNodeInit{.kind = kNodePage,
                                 .address = "http://www.site.com/p" + std::to_string(k) + ".html",
                                 .title = std::to_string(k)});
    };
    const auto finish = [&](CVQDocNode* n) {
        n->status = kStatusDownloaded;
        if (n->kind == kNodePage) {
            const std::size_t k = std::stoul(std::string(n->Title()));
            for (std::size_t c = 6 * k + 1; c <= 6 * k + 6 && c < pages; ++c)
                addPage(n, c);
            for (int f = 0; f < 24; ++f)
                tree.AddNode(n, CVQNodeInit{.kind = kNodeFile,
                                            .address = "http://www.site.com/f" +
                                                       std::to_string(++files) + ".jpg"});
        }
        queue.Release(*n);
    };
    addPage(tree.Root(), 0);

    std::vector<CVQDocNode*> held;
    Clock::duration inChoices{};
    std::size_t choices = 0;
    double walk = -1;
    for (;;) {
        if (walk < 0 && tree.NodeCount() >= count / 2) {
            const auto start = Clock::now();
            for (int i = 0; i < 3; ++i)
                order == VQWalkOrder::kLevelByLevel
                    ? tree.WalkLevelOrder(
                          nullptr,
                          [](CVQDocNode& x) { return !CVQNodeQueue::Qualifies(x, kDownloadNew); })
                    : tree.WalkPreOrder(nullptr, [](CVQDocNode& x) {
                          return !CVQNodeQueue::Qualifies(x, kDownloadNew);
                      });
            walk = Seconds(start) / 3;
        }
        const auto start = Clock::now();
        CVQDocNode* n = queue.Next(kTakeAll);
        inChoices += Clock::now() - start;
        if (n) {
            ++choices;
            n->status = kStatusDownloading;
            held.push_back(n);
        } else if (held.empty()) {
            break;
        }
        if (held.size() == 4 || !n) {
            finish(held.front());
            held.erase(held.begin());
        }
    }
    tree.SetListener(nullptr);
    const double perChoice = std::chrono::duration<double>(inChoices).count() / choices;
    std::printf("crawl %-6s %9zu nodes: %7.3f us a choice; a walk from the root halfway %9.1f us\n",
                order == VQWalkOrder::kLevelByLevel ? "level" : "branch", tree.NodeCount(),
                perChoice * 1e6, walk * 1e6);
}

} // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "choice";
    if (std::strcmp(what, "choice") == 0) {
        for (std::size_t n : {1000u, 10000u, 100000u, 1000000u})
            UpdateRun(n);
        for (std::size_t n : {1000u, 10000u, 100000u, 1000000u}) {
            Crawl(n, VQWalkOrder::kLevelByLevel);
            Crawl(n, VQWalkOrder::kBranchByBranch);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: bench_engine choice\n");
    return 2;
}
