// Link extraction throughput on generated pages: the scan alone, with each link cleaned,
// tested and resolved as the project would before it looks the address up.
#include "bench/content_corpus.h"
#include "desktop/address/address.h"
#include "desktop/content/byte_source.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/project/prj_settings.h"

#include <benchmark/benchmark.h>
#include <unordered_set>

namespace {

using vqbench::PageKind;

class CVQResolvingSink : public CVQLinkSink {
public:
    void Links(CVQLinkList& links, int, const CVQTagPlace&) override {
        for (const CVQFoundLink& link : links) {
            const std::string clean = CVQLinkCleanup::Clean(link.text);
            if (!CVQLinkCleanup::IsFollowable(clean))
                continue;
            m_keys.insert(vq::LookupKey(vq::ResolveLink(clean, kDir, kPage)));
        }
    }
    std::size_t Distinct() const { return m_keys.size(); }

private:
    static constexpr const char* kDir = "http://www.example.com/docs/guide/";
    static constexpr const char* kPage = "http://www.example.com/docs/guide/page.html";
    std::unordered_set<std::string> m_keys;
};

void BM_ScanPage(benchmark::State& state, PageKind kind) {
    const std::string page = vqbench::MakePage(kind, static_cast<std::size_t>(state.range(0)));
    const CVQPrjSettings settings;
    const CVQFileClassifier classifier(settings);
    const CVQLinkTest test(classifier);
    const CVQScanOptions options;
    const CVQTagHandlers handlers(test, options);
    std::size_t links = 0;
    for (auto _ : state) {
        CVQResolvingSink sink;
        CVQTagProcessor processor(handlers, sink);
        const auto source = CVQByteSource::FromText(page);
        CVQPageScanner().Scan(*source, processor);
        links = sink.Distinct();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["links"] = static_cast<double>(links);
}

BENCHMARK_CAPTURE(BM_ScanPage, documentation, PageKind::Documentation)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ScanPage, link_dense, PageKind::LinkDense)->Arg(1 << 19);
BENCHMARK_CAPTURE(BM_ScanPage, scripts_styles, PageKind::ScriptsAndStyles)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ScanPage, typical, PageKind::Typical)->Arg(100 << 10);

} // namespace
