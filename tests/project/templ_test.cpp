#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "desktop/project/templ.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::vector<std::string> LinesWith(const std::string& text, const std::string& key) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + " ", 0) == 0)
            lines.push_back(line);
    return lines;
}

// Settings that differ from the defaults in every kind of value a template carries.
CVQPrjSettings Changed() {
    CVQPrjSettings s;
    s.startUrl = {"http://a.com/", "https://b.com/x/?q=1", "ftp://c.com/pub/"};
    s.singleUrl = 0;
    s.userId = "joe";
    s.password = "p a s s";
    s.projectDir = "/home/joe/My Downloads/[%d]/";
    s.title = "Joe's \"Site\"";
    s.threads = 17;
    s.fileTypes = 3;
    s.offsite = 1;
    s.limDs = 1;
    s.maxDs = 2097152;
    s.limFq = 1;
    s.maxFq = 4294967295u;
    s.limMaxFs = 1;
    s.maxMaxFs = 1536;
    s.limMinFs = 1;
    s.maxMinFs = 10.5;
    s.limTime = 1;
    s.maxTime = 30;
    s.trUpdate = 1;
    s.trHtml = 1;
    s.trInit = 1;
    s.trExtBr = 1;
    s.trPrExtBr = 0;
    s.trLimitF = 0;
    s.trMaxF = 100000;
    s.trStruct = 0;
    s.trOnlyD = 1;
    s.dirStr = 2;
    s.uMethod = 1;
    s.updLinks = 2;
    s.timeout = 600;
    s.retries = 0;
    s.limL = 1;
    s.maxL = 32000;
    s.limOl = 0;
    s.maxOl = 0;
    s.down = 1;
    s.protocol = 5;
    s.detPrev = 1;
    s.keepHtml = 1;
    s.agentType = 2;
    s.agentVersion = 5500;
    s.defFName = "index.html";
    s.report = 1;
    s.renameHtml = 0;
    s.pageBreak = 0;
    s.fastParse = 0;
    s.htmlLogin = 1;
    s.htmlForms = 1;
    s.keepLogFile = 1;
    s.keepQuery = 1;
    s.downldPause = 3600;
    s.imageAlways = 0;
    s.delOutdated = 0;
    s.refererUrl = "http://ref.com/";
    s.checkCache = 0;
    s.nonHtmlAlways = 1;
    s.convertWhenDwnld = 0;
    s.customErrorPage = 0;
    s.copyPrTo = 4;
    s.copyPrDirName = "/media/card/";
    s.copyProject = 0;
    s.copyDownload = 0;
    s.copyPrZipPassword = "zip";
    s.delimiter = ';';
    s.nodeExportInfo = 7;
    s.autoSynchPr = 1;
    s.fileTypeMask = 3;
    s.storageName = "Storage Card";
    s.readerDrive = 'E';
    s.scaleLevel = 3;
    s.scaleImages = 1;

    CVQCustomArray& images = *s.ExtList(vq::kGroupImage);
    vq::FindExt(images, "gif")->enabled = 0;
    CVQFileExt webp{.ext = "webp", .limitMax = 1, .maxSize = 2048, .limitMin = 1, .minSize = 16};
    images.push_back(webp);
    CVQCustomArray& others = *s.ExtList(vq::kGroupOther);
    others.erase(others.begin() + 1); // "exe"
    CVQFileExt* pdf = vq::FindExt(*s.ExtList(vq::kGroupDocument), "pdf");
    pdf->limitMax = 1;
    pdf->maxSize = 1048576;

    s.urlFilter = {{1, 15, "*.a.com", "/docs/", ""}, {0, 2, "", "", "*.zip"}};
    return s;
}

TEST(Templ, SettingsSurviveARoundTripExactly) {
    CVQTempDir dir;
    const CVQPrjSettings written = Changed();
    ASSERT_TRUE(CVQTempl::Write(dir.File("t.vqt"), written));
    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::Read(dir.File("t.vqt"), read));
    EXPECT_EQ(read, written);

    CVQPrjSettings user = Changed();
    user.agentType = 5;
    user.agentText = "Custom Agent/1.0";
    user.agentVersion = 6000; // a user-defined text carries no version
    CVQPrjSettings userRead;
    ASSERT_TRUE(CVQTempl::ReadText(CVQTempl::WriteText(user), userRead));
    EXPECT_EQ(userRead, user);
}

TEST(Templ, DefaultsWriteTheKnownText) {
    const std::string text = CVQTempl::WriteText(CVQPrjSettings());
    EXPECT_EQ(text, vq::test::ReadFile(vq::test::DataPath("project/default.vqt")));

    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::ReadText(text, read));
    CVQPrjSettings expected;
    expected.trUpdate = 2; // the initial 3 is taken as 2
    EXPECT_EQ(read, expected);
}

TEST(Templ, UncheckedGifIsOneLineWithStateZero) {
    CVQPrjSettings s;
    vq::FindExt(*s.ExtList(vq::kGroupImage), "gif")->enabled = 0;
    const std::string text = CVQTempl::WriteText(s);
    std::vector<std::string> stateZero;
    for (const std::string& line : LinesWith(text, "VQ_FILE_EXT"))
        if (line.find(" 0 \"") != std::string::npos)
            stateZero.push_back(line);
    ASSERT_EQ(stateZero.size(), 1u);
    EXPECT_EQ(stateZero[0], "VQ_FILE_EXT \t\t 2 0 \"gif\" 0.000000 0.000000\r");

    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::ReadText(text, read));
    const CVQFileExt* gif = vq::FindExt(*read.ExtList(vq::kGroupImage), "gif");
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->enabled, 0);
    EXPECT_EQ(gif->limitMin, 0);
    EXPECT_EQ(gif->limitMax, 0);
}

TEST(Templ, RemovedGifStaysRemoved) {
    CVQPrjSettings s;
    CVQCustomArray& images = *s.ExtList(vq::kGroupImage);
    images.erase(images.begin());
    const std::string text = CVQTempl::WriteText(s);
    const auto lines = LinesWith(text, "VQ_FILE_EXT");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "VQ_FILE_EXT \t\t 2 2 \"gif\"\r"), lines.end());
    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::ReadText(text, read));
    EXPECT_EQ(vq::FindExt(*read.ExtList(vq::kGroupImage), "gif"), nullptr);
    EXPECT_EQ(*read.ExtList(vq::kGroupImage), images);
}

TEST(Templ, ReadingRules) {
    using Check = std::function<void(const CVQPrjSettings&)>;
    const std::pair<const char*, Check> cases[] = {
        {"vq_threads \t\t7", [](auto& s) { EXPECT_EQ(s.threads, 7); }},
        {"\xEF\xBB\xBFVQ_THREADS 8", [](auto& s) { EXPECT_EQ(s.threads, 8); }},
        {"  Vq_Title \"x\"", [](auto& s) { EXPECT_EQ(s.title, "x"); }},
        {"VQ_THREADS abc\nVQ_TITLE \"t\"", [](auto& s) { EXPECT_EQ(s.threads, 5); }},
        {"VQ_THREADS 99999999999", [](auto& s) { EXPECT_EQ(s.threads, 5); }},
        {"VQ_TIMEOUT 5", [](auto& s) { EXPECT_EQ(s.timeout, 60); }},
        {"VQ_TIMEOUT 120", [](auto& s) { EXPECT_EQ(s.timeout, 120); }},
        {"VQ_RETRIES 101", [](auto& s) { EXPECT_EQ(s.retries, 1); }},
        {"VQ_DOWN 2", [](auto& s) { EXPECT_EQ(s.down, 0); }},
        {"VQ_PROTOCOL 99", [](auto& s) { EXPECT_EQ(s.protocol, 15); }},
        {"VQ_TR_UPDATE 3", [](auto& s) { EXPECT_EQ(s.trUpdate, 2); }},
        {"VQ_TR_HTML 7", [](auto& s) { EXPECT_EQ(s.trHtml, 1); }},
        {"VQ_TR_HTML 0", [](auto& s) { EXPECT_EQ(s.trHtml, 511); }},
        {"VQ_MAX_DS junk", [](auto& s) { EXPECT_EQ(s.maxDs, 0); }},
        {"VQ_MAX_DS nan", [](auto& s) { EXPECT_EQ(s.maxDs, 0); }},
        {"VQ_MAX_DS 1.5e3xyz", [](auto& s) { EXPECT_EQ(s.maxDs, 1500); }},
        {"VQ_MAX_FQ -1", [](auto& s) { EXPECT_EQ(s.maxFq, 4294967295u); }},
        {"VQ_MAX_FQ 4294967295", [](auto& s) { EXPECT_EQ(s.maxFq, 4294967295u); }},
        {"VQ_TITLE junk \"a \"\"b\"\"  \"  ", [](auto& s) { EXPECT_EQ(s.title, "a \"\"b\"\""); }},
        {"VQ_TITLE \"open only  ", [](auto& s) { EXPECT_EQ(s.title, "open only"); }},
        {"VQ_DELIMITER \"\"", [](auto& s) { EXPECT_EQ(s.delimiter, '\0'); }},
        {"VQ_READERDRIVE \"FG\"", [](auto& s) { EXPECT_EQ(s.readerDrive, 'F'); }},
        {"VQ_FOO 1\r\nVQ_THREADSX 3\r\nVQ_THREADS 2\r\n", [](auto& s) { EXPECT_EQ(s.threads, 2); }},
        {"VQ_AGENTID \"Mozilla/4.0 (compatible; MSIE 5.01;)\"",
         [](auto& s) {
             EXPECT_EQ(s.agentType, 2);
             EXPECT_EQ(s.agentVersion, 5010);
         }},
        {"VQ_FILE_EXT  2 1 \".GIF\" 100 0",
         [](auto& s) {
             const CVQFileExt* gif = vq::FindExt(*s.ExtList(vq::kGroupImage), "gif");
             EXPECT_TRUE(gif->limitMin == 1 && gif->minSize == 100 && gif->limitMax == 0);
             EXPECT_EQ(s.ExtList(vq::kGroupImage)->size(), 12u);
         }},
        {"VQ_FILE_EXT 256 0 \"7z\"",
         [](auto& s) {
             EXPECT_EQ(s.ExtList(vq::kGroupArchive)->back(),
                       (CVQFileExt{.ext = "7z", .enabled = 0}));
         }},
        {"VQ_FILE_EXT 1 2 \"nosuch\"",
         [](auto& s) { EXPECT_EQ(*s.ExtList(vq::kGroupHtml), vq::DefaultExtList(1, true)); }},
        {"VQ_URL_FILTER 1 15 \"a\" \"b\" \"c\"\r\nVQ_URL_FILTER 1 15 \"a\" \t\"b\" \t\"c\"",
         [](auto& s) {
             ASSERT_EQ(s.urlFilter.size(), 1u);
             EXPECT_EQ(s.urlFilter[0], (CVQUrl{1, 15, "a", "b", "c"}));
         }},
    };
    for (const auto& [text, check] : cases) {
        SCOPED_TRACE(text);
        CVQPrjSettings s;
        EXPECT_TRUE(CVQTempl::ReadText(text, s));
        check(s);
    }
}

TEST(Templ, ReadingFails) {
    const char* cases[] = {
        "",
        "/////////\r\n// Velloquin Template\r\n//\r\n\r\n// VQ_THREADS 5\r\n",
        "VQ_THREADSX 5",
        "VQ_THREADS 9\r\nVQ_FILE_EXT  4 1 \"x\"", // bit 4 is no group
        "VQ_THREADS 9\r\nVQ_FILE_EXT 512 1 \"x\"",
        "VQ_THREADS 9\r\nVQ_FILE_EXT  2 3 \"x\"",   // no such state
        "VQ_THREADS 9\r\nVQ_FILE_EXT  2 1",         // no extension
        "VQ_THREADS 9\r\nVQ_FILE_EXT  2 1 \"a/b\"", // not an extension
        "VQ_THREADS 9\r\nVQ_URL_FILTER 1 15 \"a\" \"b\"",
        "VQ_THREADS 9\r\nVQ_TITLE no quotes",
    };
    for (const char* text : cases) {
        CVQPrjSettings s;
        EXPECT_FALSE(CVQTempl::ReadText(text, s)) << text;
    }
    CVQPrjSettings s;
    CVQTempl::ReadText("VQ_THREADS 9\r\nVQ_FILE_EXT  4 1 \"x\"", s);
    EXPECT_EQ(s.threads, 9); // the other lines still count
    EXPECT_FALSE(CVQTempl::Read("/nonexistent/t.vqt", s));
}

TEST(Templ, StartAddresses) {
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += "VQ_START_URL \t\t\"http://h.com/" + std::to_string(i) + "\"\r\n";
    CVQPrjSettings s;
    s.startUrl = {"http://old.com/"};
    ASSERT_TRUE(CVQTempl::ReadText(text, s));
    ASSERT_EQ(s.startUrl.size(), 100u);
    EXPECT_EQ(s.startUrl.back(), "http://h.com/99");

    ASSERT_TRUE(CVQTempl::ReadText("VQ_THREADS 3", s));
    EXPECT_EQ(s.startUrl, std::vector<std::string>{""});

    // With a single site only the first address is written.
    CVQPrjSettings single;
    single.startUrl = {"http://a.com/", "http://b.com/"};
    EXPECT_EQ(LinesWith(CVQTempl::WriteText(single), "VQ_START_URL"),
              std::vector<std::string>{"VQ_START_URL \t\t\"http://a.com/\"\r"});
}

TEST(Templ, LongAndBrokenValuesStayInTheirLine) {
    CVQPrjSettings s;
    s.startUrl = {"http://h.com/" + std::string(400, 'a') + "?VQ_THREADS=1"};
    s.title = "a\r\nVQ_THREADS \t\t99";
    s.singleUrl = 0;
    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::ReadText(CVQTempl::WriteText(s), read));
    EXPECT_EQ(read.startUrl, s.startUrl);
    EXPECT_EQ(read.threads, 5);
    EXPECT_EQ(read.title, "a  VQ_THREADS \t\t99");
}

TEST(Templ, UrlFilterLineFormat) {
    CVQPrjSettings s;
    s.urlFilter = {{1, 15, "*.h.com", "/a/", ""}, {0, 2, "x", "", "*.zip"}};
    EXPECT_EQ(LinesWith(CVQTempl::WriteText(s), "VQ_URL_FILTER"),
              (std::vector<std::string>{"VQ_URL_FILTER \t\t1 15 \"*.h.com\" \t\"/a/\" \t\"\"\r",
                                        "VQ_URL_FILTER \t\t0  2 \"x\" \t\"\" \t\"*.zip\"\r"}));
}

TEST(Templ, SetAsDefault) {
    CVQTempDir dir;
    const CVQPrjSettings s = Changed();

    CVQProgramOptions options;
    options.lastDir = dir.Path();
    std::string written;
    ASSERT_TRUE(CVQTempl::SetAsDefault(s, options, &written));
    EXPECT_EQ(written, dir.File("default.vqt"));
    EXPECT_TRUE(options.useTemplFile);
    EXPECT_EQ(options.templFile, written);
    CVQPrjSettings read;
    ASSERT_TRUE(CVQTempl::Read(written, read));
    EXPECT_EQ(read, s);

    CVQProgramOptions fromTemplate;
    fromTemplate.templFile = dir.File("other/x.vqt");
    EXPECT_EQ(CVQTempl::DefaultTemplateDirectory(fromTemplate), dir.File("other/"));
    fromTemplate.templFile.clear();
    fromTemplate.templateFileList = {dir.File("last/y.vqt")};
    EXPECT_EQ(CVQTempl::DefaultTemplateDirectory(fromTemplate), dir.File("last/"));

    CVQProgramOptions missing;
    missing.lastDir = dir.File("missing");
    EXPECT_FALSE(CVQTempl::SetAsDefault(s, missing));
    EXPECT_FALSE(missing.useTemplFile);
    EXPECT_EQ(missing.templFile, "");
}

TEST(Templ, ProjectPathOfATemplate) {
    EXPECT_EQ(CVQTempl::ProjectPathFor("/t/site.vqt"), "/t/site.vqp");
}

} // namespace
