// Address templates: a start address holding "{:from-to|step}" stands for a series of
// addresses ("page{:1-3}.htm" for page1.htm, page2.htm and page3.htm).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CVQAddressTemplate {
public:
    // A template set that stands for more addresses than this is refused.
    static constexpr std::size_t kMaxAddresses = 1'000'000;

    // Expands every template of address, in order and in every combination, appending the
    // results to list; address becomes the first of them. Digit bounds give numbers (padded
    // with zeros to the bounds' length when both are as long and from starts with "0"); other
    // bounds give the characters from the first of from to the first of to. A series may run
    // down as well as up. False, with list and address unchanged, when the address holds no
    // template, a malformed one, or one that stands for too many addresses.
    static bool Expand(std::string& address, std::vector<std::string>& list);

private:
    // The values of the first template of address and where it stands; false when there is no
    // (well-formed) template.
    static bool Series(const std::string& address, std::size_t& begin, std::size_t& end,
                       std::vector<std::string>& values);
};
