// Figures for the conversion pass over a stored copy of a generated site: pages and megabytes per
// second, against a plain copy of the same files. Usage: bench_conversion [pages] [folder]
#include "desktop/engine/conversion_pass.h"
#include "desktop/engine/link_conversion.h"
#include "desktop/project/doc.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The processor time of the program so far: in its own code, and in the system for it.
std::pair<double, double> ProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

const std::string kSite = "http://www.example-site.com/site/";
constexpr std::size_t kSections = 200;

std::string PageName(std::size_t i) {
    return "section" + std::to_string(i % kSections) + "/page-" + std::to_string(i) + ".html";
}

// About 9 KB: a head, 24 links to other pages of the site written in the three ways sites write
// them (relative, from the root, absolute), 6 pictures and text between them.
std::string MakePage(std::size_t i, std::size_t pages) {
    std::string out = "<!DOCTYPE html>\n<html><head><title>Page " + std::to_string(i) +
                      "</title>\n<link rel=\"stylesheet\" href=\"/site/css/site.css\">\n"
                      "<script src=\"../js/menu.js\"></script>\n</head>\n<body>\n";
    std::size_t seed = i * 2654435761u + 1;
    const auto next = [&seed, pages] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 33) % pages;
    };
    for (int link = 0; link < 24; ++link) {
        const std::size_t to = next();
        switch (link % 3) {
        case 0:
            out += "<p><a href=\"../" + PageName(to) + "\">Page " + std::to_string(to) + "</a> ";
            break;
        case 1:
            out += "<p><a href=\"/site/" + PageName(to) + "#part\">Part of " + std::to_string(to) +
                   "</a> ";
            break;
        default:
            out += "<p><a href=\"" + kSite + PageName(to) + "\">Elsewhere " + std::to_string(to) +
                   "</a> ";
        }
        out += "The offline copy keeps every page of the site, and the links between them keep "
               "working once they are converted to the stored files.</p>\n";
        if (link % 4 == 0)
            out += "<img src=\"/site/img/picture" + std::to_string(to % 50) +
                   ".jpg\" alt=\"picture\" width=\"120\" height=\"80\">\n";
    }
    out += "</body></html>\n";
    return out;
}

// The reference: every file copied as it is.
std::uint64_t CopyTree(const fs::path& from, const fs::path& to) {
    std::uint64_t bytes = 0;
    const std::size_t prefix = from.string().size();
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to.string() + entry.path().string().substr(prefix);
        if (entry.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
        bytes += entry.file_size();
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t pages = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path folder = base / ("vq_conversion_bench_" + std::to_string(::getpid()));
    const fs::path pristine = folder / "pristine";
    const fs::path save = folder / "save";

    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < pages; ++i) {
        const fs::path path = pristine / PageName(i);
        fs::create_directories(path.parent_path());
        const std::string text = MakePage(i, pages);
        std::ofstream(path, std::ios::binary) << text;
        bytes += text.size();
    }

    CVQProgramOptions options;
    CVQDoc doc(options);
    doc.SetUserPresent(false);
    CVQPrjSettings& settings = doc.Settings();
    settings.projectDir = save.string() + "/";
    settings.startUrl = {kSite + "index.html"};
    settings.updLinks = 1;
    doc.SettingsChanged();
    doc.ExpandSaveDirectory(false);
    doc.SetStartDirUrl(kSite);
    CVQDocTree& tree = doc.Tree();
    CVQDocNode* start = tree.AddPage(tree.Root());
    tree.SetAddress(start, kSite + "index.html");
    for (std::size_t i = 0; i < pages; ++i) {
        CVQNodeInit init;
        const std::string address = kSite + PageName(i);
        const std::string path = (save / PageName(i)).string();
        init.address = address;
        init.localPath = path;
        init.group = 1;
        init.status = kStatusDownloaded;
        init.dirPosition = 1;
        tree.AddNode(start, init);
    }
    doc.RebuildAddressIndex();

    CVQLinkConversion conversion;
    CVQConversionPass pass(conversion);
    doc.SetLinkConverter(&conversion);

    const double mb = static_cast<double>(bytes) / 1048576.0;
    double bestCopy = 1e30;
    double bestPass = 1e30;
    std::pair<double, double> passProcessor{1e30, 1e30};
    std::size_t rewritten = 0;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(save);
        const Clock::time_point copyStart = Clock::now();
        CopyTree(pristine, save);
        bestCopy = std::min(bestCopy, Seconds(copyStart));
        ::sync();
        const Clock::time_point passStart = Clock::now();
        const auto [userBefore, systemBefore] = ProcessorSeconds();
        const CVQConversionResult result = pass.Convert(doc, kConvertAllFiles);
        const auto [userAfter, systemAfter] = ProcessorSeconds();
        const double seconds = Seconds(passStart);
        if (seconds < bestPass)
            passProcessor = {userAfter - userBefore, systemAfter - systemBefore};
        bestPass = std::min(bestPass, seconds);
        rewritten = result.rewritten - result.failed;
    }
    std::printf("site: %zu pages, %.1f MB (best of 3 rounds)\n", pages, mb);
    std::printf("plain copy:      %7.2f s  %8.0f pages/s  %7.1f MB/s\n", bestCopy,
                static_cast<double>(pages) / bestCopy, mb / bestCopy);
    std::printf("conversion pass: %7.2f s  %8.0f pages/s  %7.1f MB/s  (%zu pages rewritten)\n",
                bestPass, static_cast<double>(pages) / bestPass, mb / bestPass, rewritten);
    std::printf("  of which        %7.2f s in the program, %.2f s in the system\n",
                passProcessor.first, passProcessor.second);
    std::printf("pass / copy:     %7.2f\n", bestPass / bestCopy);
    fs::remove_all(folder);
    return 0;
}
