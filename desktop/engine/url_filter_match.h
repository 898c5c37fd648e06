// Matching an address against the project's URL filters, each with its weight.
#pragma once

#include "desktop/engine/url_parts.h"
#include "desktop/project/url_filter.h"

#include <string_view>

enum class VQFilterVerdict { kNone, kInclude, kExclude };

namespace vq {

// The weight with which a filter matches the parts: 4 through its file pattern (with directory
// and server patterns when set), 3 through its directory pattern, 2 through its server pattern,
// 1 for a filter without patterns; 0 when it does not match or its protocol differs.
int UrlFilterWeight(const CVQUrl& filter, const CVQUrlParts& parts);

// Over all filters: nothing when none matched; include when an including filter matched and no
// excluding one did, or the last including match weighs at least as much as the last excluding
// match; exclude otherwise.
VQFilterVerdict MatchUrlFilters(const CVQUrlArray& filters, std::string_view address);

} // namespace vq
