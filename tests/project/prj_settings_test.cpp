#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"

#include <gtest/gtest.h>

namespace {

CVQUrl Filter(int include, int protocol, std::string server) {
    CVQUrl filter;
    filter.include = include;
    filter.protocol = protocol;
    filter.server = std::move(server);
    return filter;
}

TEST(PrjSettings, Defaults) {
    const CVQPrjSettings s;
    const std::pair<const char*, std::pair<long long, long long>> ints[] = {
        {"singleUrl", {s.singleUrl, 1}},
        {"threads", {s.threads, 5}},
        {"fileTypes", {s.fileTypes, 511}},
        {"offsite", {s.offsite, 0}},
        {"maxFq", {s.maxFq, 1000}},
        {"maxTime", {s.maxTime, 120}},
        {"trUpdate", {s.trUpdate, 3}},
        {"reserved", {s.reserved, 1}},
        {"trHtml", {s.trHtml, 511}},
        {"trLimitF", {s.trLimitF, 1}},
        {"trMaxF", {s.trMaxF, 10000}},
        {"trStruct", {s.trStruct, 1}},
        {"dirStr", {s.dirStr, 0}},
        {"updLinks", {s.updLinks, 1}},
        {"timeout", {s.timeout, 60}},
        {"retries", {s.retries, 1}},
        {"maxL", {s.maxL, 3}},
        {"limOl", {s.limOl, 1}},
        {"maxOl", {s.maxOl, 1}},
        {"protocol", {s.protocol, 15}},
        {"agentType", {s.agentType, 0}},
        {"agentVersion", {s.agentVersion, 6000}},
        {"runState", {s.runState, 0}},
        {"renameHtml", {s.renameHtml, 1}},
        {"pageBreak", {s.pageBreak, 1}},
        {"fastParse", {s.fastParse, 1}},
        {"imageAlways", {s.imageAlways, 1}},
        {"delOutdated", {s.delOutdated, 1}},
        {"checkCache", {s.checkCache, 1}},
        {"convertWhenDwnld", {s.convertWhenDwnld, 1}},
        {"customErrorPage", {s.customErrorPage, 1}},
        {"copyProject", {s.copyProject, 1}},
        {"copyDownload", {s.copyDownload, 1}},
        {"fileTypeMask", {s.fileTypeMask, 511}},
        {"scaleLevel", {s.scaleLevel, 1}},
        {"prevScaleLevel", {s.prevScaleLevel, 1}},
        {"analyzeJavaScript", {s.analyzeJavaScript, 1}},
        {"processDhtmlEvents", {s.processDhtmlEvents, 1}},
        {"delimiter", {s.delimiter, ','}},
        {"nodeExportInfo", {s.nodeExportInfo, 1}},
        {"trPrExtBr", {s.trPrExtBr, 1}},
        {"downldPause", {s.downldPause, 0}},
    };
    for (const auto& [name, values] : ints)
        EXPECT_EQ(values.first, values.second) << name;
    EXPECT_EQ(s.maxDs, 104857600.0);
    EXPECT_EQ(s.maxMaxFs, 1048576.0);
    EXPECT_EQ(s.maxMinFs, 0.0);
    EXPECT_EQ(s.startUrl, std::vector<std::string>{""});
    EXPECT_EQ(s.defFName, "default.htm");
    EXPECT_TRUE(s.urlFilter.empty());
    for (std::size_t i = 0; i < vq::kFileGroupCount; ++i)
        EXPECT_EQ(s.fileExt[i], vq::DefaultExtList(vq::kFileGroupOrder[i], true)) << i;
}

TEST(PrjSettings, ResetTakesTheProgramOptions) {
    CVQProgramOptions options;
    options.copyPrTo = 4;
    options.lastCopyDir = "/backup/site.zip";
    options.storageName = "Storage Card";
    options.readerDrive = "F:";

    CVQPrjSettings s;
    s.threads = 50;
    s.urlFilter.push_back(Filter(1, 15, "x.com"));
    s.fileExt[1].clear();
    s.Reset(options, "/home/u/Documents");

    CVQPrjSettings expected;
    expected.projectDir = "/home/u/Documents/My Downloads/";
    expected.copyPrTo = 4;
    expected.copyPrDirName = "/backup/site.zip";
    expected.storageName = "Storage Card";
    expected.readerDrive = 'F';
    EXPECT_EQ(s, expected);

    options.readerDrive.clear();
    s.Reset(options, "/home/u/Documents/");
    EXPECT_EQ(s.projectDir, "/home/u/Documents/My Downloads/");
    EXPECT_EQ(s.readerDrive, '\0');
}

TEST(PrjSettings, DefaultSaveDirectory) {
    EXPECT_EQ(vq::DefaultSaveDirectory("/data/dl", "/docs"), "/data/dl/");
    EXPECT_EQ(vq::DefaultSaveDirectory("/data/dl/", "/docs"), "/data/dl/");
    EXPECT_EQ(vq::DefaultSaveDirectory("", "/docs"), "/docs/My Downloads/");
}

TEST(PrjSettings, CopiesAreDeepAndCompareFieldByField) {
    CVQPrjSettings original;
    original.urlFilter.push_back(Filter(0, 1, "ads.com"));
    CVQPrjSettings copy = original;
    EXPECT_EQ(copy, original);

    copy.fileExt[1][0].enabled = 0; // the copy owns its lists
    EXPECT_EQ(original.fileExt[1][0].enabled, 1);
    EXPECT_NE(copy, original);

    copy = original;
    copy.urlFilter[0].file = "*.gif";
    EXPECT_NE(copy, original);

    copy = original;
    copy.fileExt[0][2].maxSize = 1;
    EXPECT_NE(copy, original);

    copy = original;
    copy.conversionScope = 1;
    EXPECT_NE(copy, original);
}

TEST(PrjSettings, StartAddressesStopAtOneHundred) {
    CVQPrjSettings s;
    ASSERT_TRUE(s.AddStartUrl("http://site0.com/"));
    EXPECT_EQ(s.startUrl, std::vector<std::string>{"http://site0.com/"}); // the empty entry went
    for (int i = 1; i < 100; ++i)
        ASSERT_TRUE(s.AddStartUrl("http://site" + std::to_string(i) + ".com/"));
    std::string message;
    EXPECT_FALSE(s.AddStartUrl("http://one-too-many.com/", &message));
    EXPECT_EQ(message, "You can't have more then 100 URLs in the list.");
    ASSERT_EQ(s.startUrl.size(), 100U);
    EXPECT_EQ(s.startUrl.back(), "http://site99.com/");
}

TEST(PrjSettings, SingleUrlModeDownloadsOnlyTheFirstEntry) {
    CVQPrjSettings s;
    s.startUrl = {"http://a.com/", "http://b.com/", "http://c.com/"};
    EXPECT_EQ(s.DownloadUrls(), std::vector<std::string>{"http://a.com/"});
    s.singleUrl = 0;
    EXPECT_EQ(s.DownloadUrls(), s.startUrl);
}

TEST(PrjSettings, ExtListByGroupBit) {
    CVQPrjSettings s;
    EXPECT_EQ(s.ExtList(vq::kGroupOther), &s.fileExt[7]);
    EXPECT_EQ(s.ExtList(vq::kGroupDocument), &s.fileExt[5]);
    EXPECT_EQ(s.ExtList(4), nullptr);
}

TEST(PrjSettings, DialogUnits) {
    EXPECT_EQ(vq::BytesFromMb(2), 2097152.0);
    EXPECT_EQ(vq::MbFromBytes(vq::BytesFromMb(2)), 2.0);
    EXPECT_EQ(vq::BytesFromKb(1024), 1048576.0);
    EXPECT_EQ(vq::KbFromBytes(1536), 1.5);
}

TEST(PrjSettings, StoredValuesOutOfRangeKeepTheDefault) {
    struct Case {
        const char* what;
        bool (*taken)(long long);
        std::vector<long long> yes, no;
    };
    const Case cases[] = {
        {"timeout", vq::IsValidTimeout, {10, 60, 600}, {9, 601, -1, 0}},
        {"retries", vq::IsValidRetries, {0, 100}, {-1, 101}},
        {"flag", vq::IsValidFlag, {0, 1}, {-1, 2, 65536}},
        {"agent type", vq::IsValidAgentType, {0, 9}, {-1, 10}},
        {"run state", vq::IsValidRunState, {0, 4}, {-1, 5}},
    };
    for (const Case& c : cases) {
        for (long long v : c.yes)
            EXPECT_TRUE(c.taken(v)) << c.what << " " << v;
        for (long long v : c.no)
            EXPECT_FALSE(c.taken(v)) << c.what << " " << v;
    }
    const std::pair<long long, int> protocols[] = {{1, 1},  {6, 6},   {15, 15},
                                                   {0, 15}, {16, 15}, {-3, 15}};
    for (const auto& [stored, taken] : protocols)
        EXPECT_EQ(vq::ProtocolFromStored(stored), taken) << stored;
    EXPECT_EQ(vq::LevelFromStored(65535), 0);
    EXPECT_EQ(vq::LevelFromStored(0), 0);
    EXPECT_EQ(vq::LevelFromStored(32000), 32000);
    EXPECT_EQ(vq::TreeUpdateFromStored(3), 2);
    EXPECT_EQ(vq::TreeUpdateFromStored(1), 1);
}

} // namespace
