// Figures for the download engine.
//   bench_engine choice        the cost of choosing the next node for trees of 1,000 to
//                              1,000,000 nodes, against a walk from the root
//   bench_engine crawl [pages] a generated site (pages with style sheets and pictures, 20,000
//                              pages unless given) copied from a loopback server with 5 and 20
//                              connections, "NoPacing" on and off, against the same files
//                              fetched by plain libcurl loops: files per second, processor
//                              seconds and peak memory of the copying process
//   bench_engine crawl pages connections on|off
//                              only the engine's copy, in this process (for a profiler)
#include "desktop/engine/download_engine.h"
#include "desktop/engine/node_queue.h"
#include "desktop/project/doc.h"
#include "desktop/project/doc_tree.h"
#include "desktop/project/download_state.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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

// --- The site crawl -----------------------------------------------------------------------

constexpr int kStyleSheets = 100;

// Page k links to pages 3k+1 to 3k+3, to one of the style sheets (each with a background
// picture) and to two pictures of its own; every answer is generated from its path.
struct Site {
    int pages = 20000;

    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (int k = 0; k < pages; ++k) {
            paths.push_back("/p" + std::to_string(k) + ".htm");
            paths.push_back("/img/" + std::to_string(k) + "a.gif");
            paths.push_back("/img/" + std::to_string(k) + "b.jpg");
        }
        for (int j = 0; j < kStyleSheets && j < pages; ++j) {
            paths.push_back("/css/s" + std::to_string(j) + ".css");
            paths.push_back("/img/bg" + std::to_string(j) + ".png");
        }
        return paths;
    }

    std::string PageBody(int k) const {
        std::string html = "<html><head><title>Page " + std::to_string(k) +
                           "</title><link rel=\"stylesheet\" href=\"css/s" +
                           std::to_string(k % kStyleSheets) + ".css\"></head><body>\n";
        for (int c = 3 * k + 1; c <= 3 * k + 3 && c < pages; ++c)
            html += "<p><a href=\"p" + std::to_string(c) + ".htm\">Page " + std::to_string(c) +
                    "</a></p>\n";
        html += "<img src=\"img/" + std::to_string(k) + "a.gif\"><img src=\"img/" +
                std::to_string(k) + "b.jpg\">\n";
        html += "<p>" + std::string(1500, 'w') + "</p></body></html>\n";
        return html;
    }

    void Serve(CVQTestHttpServer& server) const {
        const Site site = *this;
        server.Get(R"(/p(\d+)\.htm)", [site](const httplib::Request& req, httplib::Response& res) {
            res.set_content(site.PageBody(std::stoi(req.matches[1])), "text/html");
        });
        server.Get(R"(/css/s(\d+)\.css)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("body { background: url(../img/bg" + std::string(req.matches[1]) +
                                ".png) }\n" + std::string(800, ' '),
                            "text/css");
        });
        server.Get(R"(/img/(\w+)\.(gif|jpg|png))",
                   [](const httplib::Request& req, httplib::Response& res) {
                       res.set_content(std::string(1500, 'i'), "image/" + req.matches[2].str());
                   });
    }
};

struct Figures {
    std::uint64_t files = 0;
    double wall = 0;
    double cpu = 0;
    double peakMb = 0;
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// The copy of the site by the engine, in this process.
Figures CopyWithEngine(int port, int connections, bool noPacing, const std::string& folder) {
    CVQProgramOptions options;
    options.noPacing = noPacing;
    options.autoSave = false;
    CVQDoc doc(options);
    doc.NewProject();
    doc.SetUserPresent(false);
    CVQPrjSettings& s = doc.Settings();
    s.projectDir = folder + "/";
    s.title = "Site";
    s.threads = connections;
    s.startUrl = {"http://127.0.0.1:" + std::to_string(port) + "/p0.htm"};
    CVQDownloadEngine engine(doc);
    const double cpu = ProcessCpuSeconds();
    const auto start = Clock::now();
    CVQStartRequest request;
    request.type = kDownloadNew;
    request.unattended = true;
    if (!engine.Start(request))
        return {};
    engine.WaitUntilEnded();
    return {doc.Run().filesStored, Seconds(start), ProcessCpuSeconds() - cpu, PeakResidentMb()};
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

// The same files fetched by plain libcurl loops, one keep-alive handle per connection.
Figures FetchPlainly(int port, int connections, const Site& site) {
    const std::vector<std::string> paths = site.Paths();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    std::atomic<std::uint64_t> fetched{0};
    const double cpu = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c)
        threads.emplace_back([&, c] {
            CURL* curl = curl_easy_init();
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
            for (std::size_t i = static_cast<std::size_t>(c); i < paths.size();
                 i += static_cast<std::size_t>(connections)) {
                const std::string url = base + paths[i];
                curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
                if (curl_easy_perform(curl) == CURLE_OK)
                    ++fetched;
            }
            curl_easy_cleanup(curl);
        });
    for (std::thread& t : threads)
        t.join();
    return {fetched, Seconds(start), ProcessCpuSeconds() - cpu, PeakResidentMb()};
}

// Runs one measurement in a child process, so that peak memory and processor time are its own.
template <typename Measure> Figures InChild(Measure measure) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const Figures figures = measure();
        const ssize_t written = write(pipeEnds[1], &figures, sizeof figures);
        _exit(written == sizeof figures ? 0 : 1);
    }
    close(pipeEnds[1]);
    Figures figures;
    const ssize_t got = read(pipeEnds[0], &figures, sizeof figures);
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return got == sizeof figures ? figures : Figures{};
}

void Print(const char* who, int connections, const char* pacing, const Figures& f) {
    std::printf("%-12s %2d connections %-11s %6llu files in %7.1f s = %7.0f files/s, "
                "%6.1f CPU s, peak %6.1f MB\n",
                who, connections, pacing, static_cast<unsigned long long>(f.files), f.wall,
                f.wall > 0 ? static_cast<double>(f.files) / f.wall : 0.0, f.cpu, f.peakMb);
    std::fflush(stdout);
}

// connections 0: every measurement; otherwise only the engine's copy with that many connections,
// in this process (for a profiler).
int Crawl(int pages, int onlyConnections, bool onlyNoPacing) {
    Site site;
    site.pages = pages;
    // The server lives in a process of its own, started before any thread of this one.
    int portPipe[2];
    if (pipe(portPipe) != 0)
        return 1;
    const pid_t server = fork();
    if (server == 0) {
        close(portPipe[0]);
        CVQTestHttpServer http;
        http.Raw().new_task_queue = [] { return new httplib::ThreadPool(48); };
        site.Serve(http);
        int port = http.Start() ? http.Port() : 0;
        if (write(portPipe[1], &port, sizeof port) != sizeof port)
            _exit(1);
        pause(); // until the parent ends it
        _exit(0);
    }
    close(portPipe[1]);
    int port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port || port == 0)
        return 1;
    std::printf("site: %d pages, %zu files, served on port %d\n", pages, site.Paths().size(), port);

    CVQTempDir dir;
    if (onlyConnections > 0) {
        Print("engine", onlyConnections, onlyNoPacing ? "NoPacing on" : "NoPacing off",
              CopyWithEngine(port, onlyConnections, onlyNoPacing, dir.File("copy")));
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        return 0;
    }
    for (int connections : {5, 20}) {
        Print("server alone", connections, "",
              InChild([&] { return FetchPlainly(port, connections, site); }));
        for (bool noPacing : {true, false}) {
            const std::string folder = dir.File("copy");
            Print("engine", connections, noPacing ? "NoPacing on" : "NoPacing off",
                  InChild([&] { return CopyWithEngine(port, connections, noPacing, folder); }));
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 0;
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
    if (std::strcmp(what, "crawl") == 0)
        return Crawl(argc > 2 ? std::atoi(argv[2]) : 20000, argc > 3 ? std::atoi(argv[3]) : 0,
                     argc > 4 && std::strcmp(argv[4], "off") == 0 ? false : true);
    std::fprintf(stderr, "usage: bench_engine choice | crawl [pages [connections [on|off]]]\n");
    return 2;
}
