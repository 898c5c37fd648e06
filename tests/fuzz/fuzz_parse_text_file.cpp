// Any style sheet or script scans to its end with every link inside the file, and the parser
// makes nodes of them that stand for files inside the save directory.
#include "desktop/content/byte_source.h"
#include "desktop/content/link_test.h"
#include "desktop/content/parser.h"
#include "desktop/content/string_scanner.h"
#include "desktop/content/text_file_scanner.h"
#include "desktop/project/doc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

class CVQCheckingSink : public CVQLinkSink {
public:
    explicit CVQCheckingSink(std::size_t size) : m_size(size) {}

    void Links(CVQLinkList& links, int, const CVQTagPlace&) override {
        for (const CVQFoundLink& link : links)
            if (link.offset > m_size || link.length > m_size - link.offset ||
                link.text.size() != link.length)
                std::abort();
    }

private:
    std::size_t m_size;
};

struct CVQFuzzProject {
    CVQFuzzProject()
        : dir(std::filesystem::temp_directory_path() /
              ("vq_fuzz_text_" + std::to_string(getpid()))),
          doc(options) {
        std::filesystem::create_directories(dir);
        doc.Settings().projectDir = (dir / "save").string() + "/";
        doc.SettingsChanged();
        doc.ExpandSaveDirectory(false);
        doc.SetStartDirUrl("http://h.com/a/");
        saveDir = doc.SaveDirInUse();
        file = (dir / "file.css").string();
    }
    ~CVQFuzzProject() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::filesystem::path dir;
    CVQProgramOptions options;
    CVQDoc doc;
    std::string saveDir;
    std::string file;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CVQPrjSettings settings;
    static const CVQFileClassifier classifier(settings);
    static const CVQLinkTest test(classifier);
    static const CVQStringScanner strings(test);
    static CVQFuzzProject project;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::erase(text, '\0');
    CVQCheckingSink sink(text.size());
    const auto source = CVQByteSource::FromText(text);
    CVQTextFileScanner(strings).Scan(*source, sink);

    std::FILE* file = std::fopen(project.file.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    CVQDocTree& tree = project.doc.Tree();
    CVQDocNode* root = tree.CreateRoot("fuzz");
    tree.RebuildIndex(); // as during a download
    CVQDocNode* page = tree.AddPage(root);
    tree.SetAddress(page, "http://h.com/a/p.htm");
    page->level = 0;
    page->dirPosition = 0;
    CVQDocNode* sheet = tree.AddPage(page);
    tree.SetAddress(sheet, "http://h.com/a/css/s.css");
    sheet->level = 0;
    sheet->dirPosition = 1;
    CVQParser parser;
    // As a style sheet and as a script of the page.
    if (!parser.ParseTextFile("http://h.com/a/css/s.css", project.file, sheet, 0, project.doc,
                              (size & 1) != 0))
        std::abort();
    tree.WalkPreOrder(sheet, [&](CVQDocNode& node) {
        if (&node != sheet && !node.LocalPath().starts_with(project.saveDir))
            std::abort();
        return true;
    });
    return 0;
}
