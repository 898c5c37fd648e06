// The pattern language of the URL filters: literal runs separated by "*" and "^".
#pragma once

#include <string_view>

namespace vq {

// Whether text matches pattern, ignoring case. Without a wildcard the two must be equal; an
// empty pattern matches everything. With wildcards the runs are looked for from left to right,
// each from the index it has in the pattern: a run followed by "^" must begin one character
// after the previous run's end, one followed by "*" somewhere after it; a final wildcard asks for
// exactly one ("^") or at least one ("*") character after the last run; a wildcard that follows
// another one (or begins the pattern) stands for one more character; a final run only has to
// occur.
bool MatchUrlPattern(std::string_view text, std::string_view pattern);

} // namespace vq
