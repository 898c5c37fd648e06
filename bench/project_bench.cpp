// Figures for a large contents tree: memory in use, address lookups, both walks, and project-file
// save and load times. Usage: bench_project [nodes] [folder for the project file]
#include "desktop/project/doc_tree.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/project_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double ResidentMb() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

const std::string kSite = "http://www.example-site.com/";
const std::string kSave = "/home/user/My Downloads/Example Site/www.example-site.com/";

bool IsPage(std::size_t i) {
    return i == 0 || i % 5 == 0;
}

std::string RelativeName(std::size_t i) {
    const std::string dir =
        "section" + std::to_string(i % 97) + "/topic" + std::to_string(i % 13) + "/";
    if (IsPage(i))
        return dir + "article-" + std::to_string(i) + ".html";
    return "images/" + dir + "picture-" + std::to_string(i) + ".jpg";
}

// A site of pages with 30 links each (6 pages, 24 images and other files), filled level by level.
void BuildTree(CVQDocTree& tree, std::size_t count) {
    CVQDocNode* root = tree.CreateRoot("Example Site");
    std::vector<CVQDocNode*> pages;
    std::size_t nextPage = 0;
    CVQDocNode* parent = root;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && (i - 1) % 30 == 0)
            parent = pages[nextPage++];
        const bool page = IsPage(i);
        const std::string rel = RelativeName(i);
        const std::string title = page ? "Example Site - Section " + std::to_string(i % 97) +
                                             " - Article " + std::to_string(i)
                                       : "picture-" + std::to_string(i) + ".jpg";
        const std::string address = kSite + rel;
        const std::string local = kSave + rel;
        CVQDocNode* node = tree.AddNode(parent, CVQNodeInit{.kind = page ? kNodePage : kNodeFile,
                                                            .address = address,
                                                            .title = title,
                                                            .localPath = local,
                                                            .group = page ? 1 : 2,
                                                            .dirPosition = 2,
                                                            .level = static_cast<int>(i % 7),
                                                            .status = kStatusDownloaded});
        node->size = static_cast<std::uint32_t>(1000 + i % 50000);
        if (page)
            pages.push_back(node);
    }
}

void Run(std::size_t count, const std::string& folder) {
    std::printf("--- %zu nodes\n", count);
    const double baseMb = ResidentMb();
    CVQDocTree tree;
    auto start = Clock::now();
    BuildTree(tree, count);
    const double buildSeconds = Seconds(start);
    const double treeMb = ResidentMb() - baseMb;

    start = Clock::now();
    if (!tree.RebuildIndex())
        std::printf("index could not be built\n");
    const double indexSeconds = Seconds(start);
    const double allMb = ResidentMb() - baseMb;

    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, count - 1);
    std::vector<std::string> sample;
    for (std::size_t i = 0; i < 100000; ++i)
        sample.push_back(kSite + RelativeName(pick(random)));
    const std::size_t lookups = 1000000;
    std::size_t found = 0;
    start = Clock::now();
    for (std::size_t i = 0; i < lookups; ++i)
        found += tree.FindByAddress(sample[i % sample.size()]) != nullptr;
    for (std::size_t i = 0; i < lookups / 10; ++i)
        found += tree.FindByAddress(kSite + "missing/" + std::to_string(i) + ".htm") != nullptr;
    const double findSeconds = Seconds(start);

    std::size_t visited = 0;
    start = Clock::now();
    tree.WalkPreOrder(nullptr, [&visited](CVQDocNode&) { return ++visited, true; });
    const double preSeconds = Seconds(start);
    start = Clock::now();
    tree.WalkLevelOrder(nullptr, [&visited](CVQDocNode&) { return ++visited, true; });
    const double levelSeconds = Seconds(start);

    CVQPrjSettings settings;
    settings.startUrl = {kSite + "section1/topic1/article-0.html"};
    settings.projectDir = "/home/user/My Downloads/Example Site/";
    const std::string path = folder + "/bench.vqp";
    start = Clock::now();
    const VQFileResult saved =
        CVQProjectFile(path, "/home/user/My Downloads/Example Site").Save(settings, tree, "");
    const double saveSeconds = Seconds(start);
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);

    tree.Clear();
    CVQPrjSettings read;
    CVQDocTree loaded;
    start = Clock::now();
    const VQFileResult result =
        CVQProjectFile(path, "/home/user/My Downloads/Example Site").Read(read, loaded);
    const double loadSeconds = Seconds(start);
    std::filesystem::remove(path, ec);

    std::printf("build        %.2f s\n", buildSeconds);
    std::printf("memory       tree %.0f MB, with index %.0f MB (%.0f bytes a node)\n", treeMb,
                allMb, allMb * 1048576.0 / static_cast<double>(count));
    std::printf("index build  %.3f s\n", indexSeconds);
    std::printf("find         %.2f M lookups/s (%zu found of %zu)\n",
                static_cast<double>(lookups + lookups / 10) / findSeconds / 1e6, found, lookups);
    std::printf("walks        pre-order %.3f s, level-order %.3f s (%zu visits)\n", preSeconds,
                levelSeconds, visited);
    std::printf("save         %.2f s (%s, %.0f MB)\n", saveSeconds,
                saved == VQFileResult::Ok ? "ok" : "FAILED",
                static_cast<double>(fileSize) / 1048576.0);
    std::printf("load         %.2f s (%s, %zu nodes)\n", loadSeconds,
                result == VQFileResult::Ok ? "ok" : "FAILED", loaded.NodeCount() + 1);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    Run(count, folder);
    return 0;
}
