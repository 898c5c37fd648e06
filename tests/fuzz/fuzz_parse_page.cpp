// Any page scans to its end: every link found lies inside the page as the scan read it, and
// every node the parser makes of them stands for a file inside the save directory.
#include "desktop/content/byte_source.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/parser.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/project/doc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

class CVQCheckingSink : public CVQLinkSink {
public:
    explicit CVQCheckingSink(std::size_t scannedSize) : m_size(scannedSize) {}

    void Links(CVQLinkList& links, int, const CVQTagPlace&) override {
        for (const CVQFoundLink& link : links)
            if (!link.IsComposed() && (link.offset > m_size || link.length > m_size - link.offset ||
                                       link.text.size() > link.length))
                std::abort();
    }

private:
    std::size_t m_size;
};

// One project for the whole run; every input is parsed into a fresh tree.
struct CVQFuzzProject {
    CVQFuzzProject()
        : dir(std::filesystem::temp_directory_path() /
              ("vq_fuzz_page_" + std::to_string(getpid()))),
          doc(options) {
        std::filesystem::create_directories(dir);
        doc.Settings().projectDir = (dir / "save").string() + "/";
        doc.Settings().htmlForms = 1;
        doc.Settings().htmlLogin = 1;
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetStartDirUrl("http://h.com/a/");
        saveDir = doc.SaveDirInUse();
        page = (dir / "page.htm").string();
    }
    ~CVQFuzzProject() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::filesystem::path dir;
    CVQProgramOptions options;
    CVQDoc doc;
    std::string saveDir;
    std::string page;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CVQPrjSettings settings;
    static const CVQFileClassifier classifier(settings);
    static const CVQLinkTest test(classifier);
    static CVQFuzzProject project;
    const std::string_view page(reinterpret_cast<const char*>(data), size);

    CVQScanOptions options;
    options.htmlForms = true;
    options.htmlLogin = true;
    options.pageAddress = "http://h.com/a/p.htm?q";
    const CVQTagHandlers handlers(test, options);
    CVQCheckingSink sink(page.size() -
                         static_cast<std::size_t>(std::count(page.begin(), page.end(), '\0')));
    CVQTagProcessor processor(handlers, sink);
    const auto source = CVQByteSource::FromText(page);
    CVQPageScanner().Scan(*source, processor);

    std::FILE* file = std::fopen(project.page.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    CVQDocTree& tree = project.doc.Tree();
    CVQDocNode* root = tree.CreateRoot("fuzz");
    tree.RebuildIndex(); // as during a download
    CVQDocNode* start = tree.AddPage(root);
    tree.SetAddress(start, "http://h.com/a/p.htm");
    start->group = 1;
    start->level = 0;
    start->dirPosition = 0;
    CVQParser parser;
    if (!parser.ParseFile("http://h.com/a/p.htm", project.page, start, 0, project.doc))
        std::abort();
    tree.WalkPreOrder(start, [&](CVQDocNode& node) {
        if (&node != start && !node.LocalPath().starts_with(project.saveDir))
            std::abort();
        return true;
    });
    return 0;
}
