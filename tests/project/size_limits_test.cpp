#include "desktop/project/doc_node.h"
#include "desktop/project/file_class.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "desktop/project/size_limits.h"

#include <gtest/gtest.h>

namespace {

CVQPrjSettings NewProject() {
    CVQPrjSettings settings;
    settings.Reset(CVQProgramOptions(), "/home/u/Documents");
    return settings;
}

TEST(FileClass, AddressesAndPathsByTheirNames) {
    CVQPrjSettings settings = NewProject();
    vq::FindExt(*settings.ExtList(vq::kGroupImage), "gif")->enabled = 0;
    struct Case {
        const char* address;
        int group;
        int extEnabled;
    } const cases[] = {
        {"http://h/dir/", vq::kGroupHtml, 1},
        {"http://h/dir/?id=3", vq::kGroupHtml, 1},
        {"http://h/a/page.ASP?x=a.zip", vq::kGroupHtml, 1}, // the query does not decide
        {"http://h/a/pic.gif", vq::kGroupImage, 0},
        {"http://h/a.b/noext", 0, 1},
        {"http://h/a/x.unknownext", 0, 1},
        {"http://h/a/x.JS", vq::kGroupJava, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const CVQFileClass cls = vq::ClassifyAddress(settings, c.address);
        EXPECT_EQ(cls.group, c.group);
        EXPECT_EQ(cls.extEnabled, c.extEnabled);
    }
    EXPECT_EQ(vq::PathExtension("/s/page.asp^id=3.htm"), "htm");
    EXPECT_EQ(vq::PathExtension("/s.d/page"), "");
}

TEST(SizeLimits, ExtensionLimitsReplaceTheProjectLimits) {
    CVQPrjSettings settings = NewProject();
    settings.limMaxFs = 1;
    settings.maxMaxFs = 1000;
    settings.limMinFs = 1;
    settings.maxMinFs = 100;
    CVQFileExt* zip = vq::FindExt(*settings.ExtList(vq::kGroupArchive), "zip");
    zip->limitMax = 1;
    zip->maxSize = 5000;
    const CVQFileExt* gif = vq::FindExt(*settings.ExtList(vq::kGroupImage), "gif");
    struct Case {
        const CVQFileExt* entry;
        std::uint64_t size;
        int verdict;
    } const cases[] = {
        {gif, 1000, 0}, // the limits themselves pass
        {gif, 1001, kSkipTooBig},
        {gif, 100, 0},
        {gif, 99, kSkipTooSmall},
        {nullptr, 99, kSkipTooSmall},
        {zip, 4000, 0}, // the entry's maximum alone applies: no project minimum, no 1000 bytes
        {zip, 10, 0},
        {zip, 5001, kSkipTooBig},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(vq::SizeLimitVerdict(settings, c.entry, c.size), c.verdict);
    }
    settings.limMaxFs = settings.limMinFs = 0;
    EXPECT_EQ(vq::SizeLimitVerdict(settings, gif, 1u << 30), 0);
}

} // namespace
