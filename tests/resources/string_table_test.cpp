#include "desktop/resources/string_table.h"

#include <gtest/gtest.h>

namespace {

TEST(StringTable, LookupFormatAndOverride) {
    EXPECT_STREQ(VQBuiltinText(IDS_MARCH), "March");
    EXPECT_STREQ(VQBuiltinText(-5), "");
    EXPECT_EQ(VQFormat(IDS_CANNOT_OPEN_FILE, "/x/y.vqt"), "Cannot open the file '/x/y.vqt'.");

    VQSetTextOverride([](int id) -> std::optional<std::string> {
        if (id == IDS_MARCH)
            return std::string("Maerz");
        return std::nullopt;
    });
    EXPECT_EQ(VQText(IDS_MARCH), "Maerz");
    EXPECT_EQ(VQText(IDS_APRIL), "April");
    VQSetTextOverride({});
    EXPECT_EQ(VQText(IDS_MARCH), "March");
}

} // namespace
