// Any style sheet or script scans to its end with every link inside the file.
#include "desktop/content/byte_source.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_test.h"
#include "desktop/content/string_scanner.h"
#include "desktop/content/text_file_scanner.h"
#include "desktop/project/prj_settings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CVQCheckingSink : public CVQLinkSink {
public:
    explicit CVQCheckingSink(std::size_t size) : m_size(size) {}

    void Links(CVQLinkList& links, int, std::string_view) override {
        for (const CVQFoundLink& link : links)
            if (link.offset > m_size || link.length > m_size - link.offset ||
                link.text.size() != link.length || CVQLinkCleanup::Clean(link.text).size() > 1039)
                std::abort();
    }

private:
    std::size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CVQPrjSettings settings;
    static const CVQFileClassifier classifier(settings);
    static const CVQLinkTest test(classifier);
    static const CVQStringScanner strings(test);
    std::string text(reinterpret_cast<const char*>(data), size);
    std::erase(text, '\0');
    CVQCheckingSink sink(text.size());
    const auto source = CVQByteSource::FromText(text);
    CVQTextFileScanner(strings).Scan(*source, sink);
    return 0;
}
