// URL filter weights and the verdict over a project's filter list.
#include "desktop/engine/url_filter_match.h"

#include "desktop/engine/url_pattern.h"

namespace vq {

namespace {

constexpr int kAllProtocols = 15;

bool Matches(const std::string& part, const std::string& pattern) {
    return pattern.empty() || MatchUrlPattern(part, pattern);
}

} // namespace

int UrlFilterWeight(const CVQUrl& filter, const CVQUrlParts& parts) {
    if (filter.protocol != kAllProtocols && filter.protocol != parts.protocol)
        return 0;
    if (!filter.file.empty()) {
        const bool match = MatchUrlPattern(parts.file, filter.file) &&
                           Matches(parts.directory, filter.directory) &&
                           Matches(parts.server, filter.server);
        return match ? 4 : 0;
    }
    if (!filter.directory.empty()) {
        const bool match = MatchUrlPattern(parts.directory, filter.directory) &&
                           Matches(parts.server, filter.server);
        return match ? 3 : 0;
    }
    if (!filter.server.empty())
        return MatchUrlPattern(parts.server, filter.server) ? 2 : 0;
    return 1;
}

VQFilterVerdict MatchUrlFilters(const CVQUrlArray& filters, std::string_view address) {
    if (filters.empty())
        return VQFilterVerdict::kNone;
    const CVQUrlParts parts = SplitUrlForFilters(address);
    bool included = false;
    bool excluded = false;
    int includeWeight = 0;
    int excludeWeight = 0;
    for (const CVQUrl& filter : filters) {
        const int weight = UrlFilterWeight(filter, parts);
        if (weight == 0)
            continue;
        if (filter.include) {
            included = true;
            includeWeight = weight;
        } else {
            excluded = true;
            excludeWeight = weight;
        }
    }
    if (included && (!excluded || includeWeight >= excludeWeight))
        return VQFilterVerdict::kInclude;
    return included || excluded ? VQFilterVerdict::kExclude : VQFilterVerdict::kNone;
}

} // namespace vq
