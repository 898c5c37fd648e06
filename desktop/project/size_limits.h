// The size limits a file must pass before it is downloaded: its extension's own limits when the
// entry sets any, else the project-wide maximum and minimum.
#pragma once

#include <cstdint>

struct CVQPrjSettings;
struct CVQFileExt;

namespace vq {

// 0 when the size passes, else the skip reason: kSkipTooBig (strictly above the maximum) or
// kSkipTooSmall (strictly below the minimum). The maximum is tested first.
int SizeLimitVerdict(const CVQPrjSettings& settings, const CVQFileExt* entry, std::uint64_t size);

} // namespace vq
