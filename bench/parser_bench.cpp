// Link extraction with node creation: pages parsed into a project's contents tree, first into
// an empty tree (every link a new node) and then as pages of one site whose links are mostly
// known already.
#include "bench/content_corpus.h"
#include "desktop/content/parser.h"
#include "desktop/project/doc.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>

namespace {

using vqbench::PageKind;

class CVQBenchProject {
public:
    CVQBenchProject()
        : m_dir(std::filesystem::temp_directory_path() / "vq_parser_bench"), m_doc(m_options) {
        std::filesystem::create_directories(m_dir);
        m_doc.Settings().projectDir = (m_dir / "save").string() + "/";
        m_doc.SettingsChanged();
        m_doc.ExpandSaveDirectory(false);
        m_doc.SetStartDirUrl("http://www.example.com/docs/");
    }
    ~CVQBenchProject() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // A fresh tree with one start page.
    CVQDocNode* Reset() {
        CVQDocNode* root = m_doc.Tree().CreateRoot("bench");
        CVQDocNode* page = m_doc.Tree().AddPage(root);
        m_doc.Tree().SetAddress(page, kPage);
        page->group = 1;
        page->level = 0;
        page->dirPosition = 0;
        m_doc.Tree().RebuildIndex(); // as at the start of a download
        return page;
    }

    std::string Store(const std::string& text) const {
        const std::string path = (m_dir / "page.html").string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    CVQDoc& Doc() { return m_doc; }
    static constexpr const char* kPage = "http://www.example.com/docs/guide/page.html";

private:
    std::filesystem::path m_dir;
    CVQProgramOptions m_options;
    CVQDoc m_doc;
};

// Every iteration parses the page into an empty tree: all its links are new nodes.
void BM_ParsePageNewTree(benchmark::State& state, PageKind kind) {
    const std::string page = vqbench::MakePage(kind, static_cast<std::size_t>(state.range(0)));
    CVQBenchProject project;
    const std::string path = project.Store(page);
    CVQParser parser;
    std::size_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CVQDocNode* start = project.Reset();
        state.ResumeTiming();
        parser.ParseFile(CVQBenchProject::kPage, path, start, 0, project.Doc());
        nodes = project.Doc().Tree().NodeCount();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["nodes"] = static_cast<double>(nodes);
}

// The tree already holds the page's links, as it does for the second and later pages of a
// site that share its navigation.
void BM_ParsePageKnownLinks(benchmark::State& state, PageKind kind) {
    const std::string page = vqbench::MakePage(kind, static_cast<std::size_t>(state.range(0)));
    CVQBenchProject project;
    const std::string path = project.Store(page);
    CVQParser parser;
    CVQDocNode* start = project.Reset();
    parser.ParseFile(CVQBenchProject::kPage, path, start, 0, project.Doc());
    for (auto _ : state)
        parser.ParseFile(CVQBenchProject::kPage, path, start, 0, project.Doc());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["nodes"] = static_cast<double>(project.Doc().Tree().NodeCount());
}

BENCHMARK_CAPTURE(BM_ParsePageNewTree, documentation, PageKind::Documentation)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParsePageNewTree, link_dense, PageKind::LinkDense)->Arg(1 << 19);
BENCHMARK_CAPTURE(BM_ParsePageNewTree, scripts_styles, PageKind::ScriptsAndStyles)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParsePageNewTree, typical, PageKind::Typical)->Arg(100 << 10);
BENCHMARK_CAPTURE(BM_ParsePageKnownLinks, documentation, PageKind::Documentation)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParsePageKnownLinks, link_dense, PageKind::LinkDense)->Arg(1 << 19);
BENCHMARK_CAPTURE(BM_ParsePageKnownLinks, scripts_styles, PageKind::ScriptsAndStyles)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParsePageKnownLinks, typical, PageKind::Typical)->Arg(100 << 10);

} // namespace
