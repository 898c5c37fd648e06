// Any page scans to its end, and every link found lies inside the page as the scan read it.
#include "desktop/address/address.h"
#include "desktop/content/byte_source.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/project/prj_settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CVQCheckingSink : public CVQLinkSink {
public:
    explicit CVQCheckingSink(std::size_t scannedSize) : m_size(scannedSize) {}

    void Links(CVQLinkList& links, int, std::string_view) override {
        for (const CVQFoundLink& link : links) {
            if (!link.IsComposed() && (link.offset > m_size || link.length > m_size - link.offset ||
                                       link.text.size() > link.length))
                std::abort();
            const std::string clean = CVQLinkCleanup::Clean(link.text);
            if (clean.size() > CVQLinkCleanup::kMaxLinkLength)
                std::abort();
            if (CVQLinkCleanup::IsFollowable(clean))
                (void)vq::ResolveLink(clean, "http://h.com/a/", "http://h.com/a/p.htm");
        }
    }

private:
    std::size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const CVQPrjSettings settings;
    static const CVQFileClassifier classifier(settings);
    static const CVQLinkTest test(classifier);
    CVQScanOptions options;
    options.htmlForms = (data[0] & 1) != 0;
    options.htmlLogin = (data[0] & 2) != 0;
    options.userId = "u";
    options.password = "p";
    options.pageAddress = "http://h.com/a/p.htm?q";
    const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);
    const CVQTagHandlers handlers(test, options);
    CVQCheckingSink sink(page.size() -
                         static_cast<std::size_t>(std::count(page.begin(), page.end(), '\0')));
    CVQTagProcessor processor(handlers, sink);
    const auto source = CVQByteSource::FromText(page);
    CVQPageScanner().Scan(*source, processor);
    return 0;
}
