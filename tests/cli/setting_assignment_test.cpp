// KEY=VALUE assignments: any template key, the ranges of the settings, and messages that name
// both.
#include "cli/setting_assignment.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "desktop/project/setting_ranges.h"
#include "desktop/project/templ.h"

#include <gtest/gtest.h>

namespace {

CVQPrjSettings Defaults() {
    CVQPrjSettings settings;
    settings.Reset(CVQProgramOptions{}, "/home/u/Documents");
    settings.startUrl = {"http://site.test/"};
    return settings;
}

TEST(SettingAssignment, TakesAnyKeyAsATemplateLineGivesIt) {
    CVQPrjSettings s = Defaults();
    std::string error;
    for (const char* assignment :
         {"VQ_THREADS=20", "vq_updlinks=2", "VQ_TITLE=My site", "VQ_DEFFNAME=\"index.html\"",
          " VQ_MAX_DS = 2097152", "VQ_TR_HTML=1", "VQ_START_URL=http://other.test/",
          "VQ_URL_FILTER=0 1 \"\" \t\"/private/\" \t\"\"", "VQ_READERDRIVE=E"})
        ASSERT_TRUE(vq::ApplySettingAssignment(assignment, s, error))
            << assignment << ": " << error;
    EXPECT_EQ(s.threads, 20);
    EXPECT_EQ(s.updLinks, 2);
    EXPECT_EQ(s.title, "My site");
    EXPECT_EQ(s.defFName, "index.html");
    EXPECT_EQ(s.maxDs, 2097152.0);
    EXPECT_EQ(s.trHtml, 1);
    EXPECT_EQ(s.readerDrive, 'E');
    ASSERT_EQ(s.urlFilter.size(), 1u);
    EXPECT_EQ(s.urlFilter[0].directory, "/private/");
    // Other assignments leave the address list alone; VQ_START_URL adds to it.
    EXPECT_EQ(s.startUrl, (std::vector<std::string>{"http://site.test/", "http://other.test/"}));
}

TEST(SettingAssignment, ErrorsNameTheKeyAndWhatItTakes) {
    struct Case {
        const char* assignment;
        const char* message;
    };
    const Case cases[] = {
        {"VQ_THREADS=0", "VQ_THREADS takes 1-100; '0' is not allowed."},
        {"VQ_THREADS=101", "VQ_THREADS takes 1-100; '101' is not allowed."},
        {"VQ_THREADS=many", "VQ_THREADS takes 1-100; 'many' is not allowed."},
        {"VQ_TIMEOUT=5", "VQ_TIMEOUT takes 10-600; '5' is not allowed."},
        {"VQ_UPDLINKS=3", "VQ_UPDLINKS takes 0-2; '3' is not allowed."},
        {"VQ_OFFSITE=2", "VQ_OFFSITE takes 0 or 1; '2' is not allowed."},
        {"VQ_COPYPRTO=5", "VQ_COPYPRTO takes 1, 2, 3, 4 or 10; '5' is not allowed."},
        {"VQ_MAX_DS=-1", "VQ_MAX_DS takes 0 or more; '-1' is not allowed."},
        {"VQ_MAX_FQ=4294967296", "VQ_MAX_FQ takes 0-4294967295; '4294967296' is not allowed."},
        {"VQ_NOSUCH=1", "Unknown setting key 'VQ_NOSUCH'. The keys are those of a template file, "
                        "such as VQ_THREADS or VQ_UPDLINKS."},
        {"VQ_THREADS", "--set takes KEY=VALUE, as in VQ_THREADS=20, not 'VQ_THREADS'."},
        {"=5", "--set takes KEY=VALUE, as in VQ_THREADS=20, not '=5'."},
        // A second line would pass its value by every check.
        {"VQ_TITLE=x\nVQ_THREADS 500", "'x\nVQ_THREADS 500' is not a value that VQ_TITLE takes."},
        {"VQ_FILE_EXT=1 1", "'1 1' is not a value that VQ_FILE_EXT takes."},
    };
    for (const Case& c : cases) {
        CVQPrjSettings s = Defaults();
        const CVQPrjSettings before = s;
        std::string error;
        EXPECT_FALSE(vq::ApplySettingAssignment(c.assignment, s, error)) << c.assignment;
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(s, before) << c.assignment;
    }
}

// Every key a template writes as a plain number must have its range, or --set could store any
// number in it.
TEST(SettingAssignment, EveryNumericTemplateKeyHasARange) {
    const std::string text = CVQTempl::WriteText(Defaults());
    std::size_t start = 0;
    int numeric = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        start = end == std::string::npos ? text.size() : end + 2;
        const std::size_t tab = line.find(" \t\t");
        if (line.rfind("VQ_", 0) != 0 || tab == std::string::npos)
            continue;
        const std::string key = line.substr(0, tab);
        const std::string value = line.substr(tab + 3);
        if (value.empty() || value.front() == '"' || key == "VQ_FILE_EXT" || key == "VQ_URL_FILTER")
            continue;
        ++numeric;
        const CVQSettingRange* range = vq::SettingRange(key);
        ASSERT_NE(range, nullptr) << key;
        EXPECT_TRUE(vq::IsInRange(*range, value)) << key << " default " << value;
    }
    EXPECT_GT(numeric, 50);
}

} // namespace
