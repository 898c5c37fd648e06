#include "desktop/content/address_template.h"

#include <gtest/gtest.h>

namespace {

using List = std::vector<std::string>;

TEST(AddressTemplate, Ranges) {
    const struct {
        const char* address;
        List expanded;
    } cases[] = {
        {"http://o.com/page{:1-3}.htm",
         {"http://o.com/page1.htm", "http://o.com/page2.htm", "http://o.com/page3.htm"}},
        {"http://o.com/p{:08-10}.htm",
         {"http://o.com/p08.htm", "http://o.com/p09.htm", "http://o.com/p10.htm"}},
        {"http://o.com/{:a-c}.htm",
         {"http://o.com/a.htm", "http://o.com/b.htm", "http://o.com/c.htm"}},
        {"x{:1-10|4}", {"x1", "x5", "x9"}},
        {"x{:1-3|0}", {"x1", "x2", "x3"}},
        {"x{:8-10}", {"x8", "x9", "x10"}}, // not padded: the bounds differ in length
        {"x{:01-100|50}", {"x1", "x51"}},  // nor here
        {"x{:3-1}", {"x3", "x2", "x1"}},
        {"{:a-b}{:1-2}", {"a1", "a2", "b1", "b2"}},
    };
    for (const auto& c : cases) {
        std::string address = c.address;
        List list;
        EXPECT_TRUE(CVQAddressTemplate::Expand(address, list)) << c.address;
        EXPECT_EQ(list, c.expanded) << c.address;
        EXPECT_EQ(address, c.expanded.front());
    }
}

TEST(AddressTemplate, RefusedAddressesStayAsTheyAre) {
    for (const char* text : {"http://o.com/plain.htm", "x{:1-3", "x{:13}", "x{:-3}", "x{:1-3|q}",
                             "x{:1-99999999}{:1-99}", "x{:0-9999999999999999999}"}) {
        std::string address = text;
        List list{"kept"};
        EXPECT_FALSE(CVQAddressTemplate::Expand(address, list)) << text;
        EXPECT_EQ(address, text);
        EXPECT_EQ(list, List{"kept"});
    }
}

} // namespace
