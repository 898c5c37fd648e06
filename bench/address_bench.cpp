// Address mapping and link resolution rates on a table of realistic addresses.
#include "desktop/address/address.h"
#include "desktop/address/local_path_mapper.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

constexpr std::array<const char*, 5> kAddresses = {
    "http://www.example.com/docs/guide/intro.html",                       // plain
    "http://www.example.com/docs/search.php?q=offline+browser&page=2",    // query
    "http://www.example.com/docs/a/b/c/d/e/f/g/h/i/j/k/deep/file%20name.htm", // deep
    "http://cdn.other.net/static/img/logo.png",                           // other server
    "http://www.example.com/docs/" // hashed: longer than the plain limit
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"
    "cccccccccccccccccccccccccccccccccccccccccccccccccccccc.html",
};

constexpr std::array<const char*, 5> kLinks = {
    "intro.html", "../api/index.html", "/root/page.htm", "//cdn.other.net/x.js",
    "http://www.example.com/docs/guide/next.html#section"};

CVQPathRules Rules() {
    CVQPathRules rules;
    rules.saveDir = "/home/user/Documents/My Downloads/example/";
    rules.startDirUrl = "http://www.example.com/docs/";
    rules.htmlExtensions = {"htm", "html", "shtm", "shtml", "htms", "htmlx", "asp", "pl", "stm",
                            "stml", "idc", "htx", "xsp", "css", "xml", "rxml", "cfm", "cgi",
                            "htmp", "php", "php3", "nsf", "jsp", "aspx", "wml", "rss", "htc"};
    return rules;
}

void BM_MapToLocalPath(benchmark::State& state) {
    const CVQLocalPathMapper mapper(Rules());
    const char* address = kAddresses[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state)
        benchmark::DoNotOptimize(mapper.Map(address, true, true));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapToLocalPath)->DenseRange(0, static_cast<int>(kAddresses.size()) - 1);

void BM_ResolveLink(benchmark::State& state) {
    const char* link = kLinks[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        bool flag = false;
        benchmark::DoNotOptimize(vq::ResolveLink(link, "http://www.example.com/docs/guide/",
                                                 "http://www.example.com/docs/guide/intro.html",
                                                 &flag));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveLink)->DenseRange(0, static_cast<int>(kLinks.size()) - 1);

} // namespace
