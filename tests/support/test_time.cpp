// Calendar times for tests.
#include "tests/support/test_time.h"

namespace vq::test {

std::tm LocalTime(int hour, int minute, int second, int day, int month, int year) {
    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_mday = day;
    t.tm_mon = month;
    t.tm_year = year - 1900;
    return t;
}

} // namespace vq::test
