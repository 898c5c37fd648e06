// A local calendar time for tests of date texts.
#pragma once

#include <ctime>

namespace vq::test {

// month 0-11 as std::tm counts it; the default day is March 7, 2026.
std::tm LocalTime(int hour, int minute, int second, int day = 7, int month = 2, int year = 2026);

} // namespace vq::test
