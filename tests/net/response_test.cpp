#include "desktop/net/content_type.h"
#include "desktop/net/response_check.h"
#include "desktop/net/response_headers.h"
#include "desktop/project/doc_node.h"
#include "desktop/project/download_state.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "tests/support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

CVQPrjSettings NewProject() {
    CVQPrjSettings settings;
    settings.Reset(CVQProgramOptions(), "/home/u/Documents");
    return settings;
}

CVQResponseHeaders Block(std::initializer_list<std::string> lines) {
    CVQResponseHeaders headers;
    for (const std::string& line : lines)
        headers.AddLine(line + "\r\n");
    headers.AddLine("\r\n");
    return headers;
}

TEST(ResponseHeaders, ValuesThatDoNotFitTheBufferAreAbsent) {
    const std::string fits(CVQResponseHeaders::kMaxValue, 'a');
    const CVQResponseHeaders h =
        Block({"HTTP/1.1 301 Moved", "Location: /" + std::string(1039, 'x'), "X-Fits: " + fits,
               "content-length: 12", "Content-Length: 99", "Content-Range: bytes 100-199/200",
               "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT"});
    EXPECT_TRUE(h.Complete());
    EXPECT_EQ(h.Status(), 301);
    EXPECT_FALSE(h.Value("Location"));
    EXPECT_EQ(h.Value("x-fits"), fits);
    EXPECT_EQ(h.ContentLength(), 12u); // the first of two
    EXPECT_EQ(h.ContentRangeStart(), 100u);
    EXPECT_EQ(h.LastModified(), 784111777);

    struct DateCase {
        const char* text;
        std::optional<std::int64_t> seconds;
    } const dates[] = {
        {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
        {"Sun Nov  6 08:49:37 1994", 784111777},
        {"Fri, 31 Dec 2037 23:59:59 GMT", 2145916799},
        {"Sat, 01 Jan 2038 00:00:00 GMT", std::nullopt}, // beyond the years a file time holds
        {"yesterday-ish", std::nullopt},
    };
    for (const DateCase& d : dates)
        EXPECT_EQ(vq::ParseHttpDate(d.text), d.seconds) << d.text;
    EXPECT_FALSE(Block({"HTTP/1.1 200 OK", "Content-Length: 12abc"}).ContentLength());
}

TEST(ContentType, GroupExtensionClassAndText) {
    const CVQPrjSettings settings = NewProject();
    struct Case {
        const char* type;
        int group;
        const char* ext;
        int cls;
        bool isText;
    } const cases[] = {
        {"text/html; charset=utf-8", vq::kGroupHtml, "html", 0, true},
        {"TEXT/CSS", vq::kGroupHtml, "css", 0, true},
        {"text/plain", vq::kGroupDocument, "", 0, true},
        {"text/xml", vq::kGroupHtml, "xml", 1, true},
        {"text/vnd.wap.wml", vq::kGroupHtml, "", 2, true},
        {"text/x-unknown", vq::kGroupHtml, "", 0, true},
        {"image/jpeg", vq::kGroupImage, "jpeg", 0, false},
        {"image/svg+xml", vq::kGroupImage, "", 1, false},
        {"audio/x-mpegurl", vq::kGroupAudio, "", 1, false},
        {"video/x-flv", vq::kGroupVideo, "", 1, false},
        {"application/x-zip-compressed", vq::kGroupArchive, "zip", 0, false},
        {"application/rss+xml", vq::kGroupHtml, "", 1, false},
        {"application/xml", vq::kGroupHtml, "xml", 1, false},
        {"application/pdf", vq::kGroupDocument, "pdf", 1, false},
        {"application/x-javascript", vq::kGroupJava, "js", 0, false},
        {"application/x-shockwave-flash", vq::kGroupOther, "", 1, false},
        {"application/octet-stream", vq::kGroupOther, "", 0, false},
        {"x-world/x-vrml", vq::kGroupDocument, "x-vrml", 2, false},
        {"model/vrml", vq::kGroupDocument, "vrml", 2, false},
        {"font/woff2", 0, "", 0, false},
        {"nonsense", 0, "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const CVQContentKind kind = vq::KindFromContentType(settings, c.type);
        EXPECT_EQ(kind.group, c.group);
        EXPECT_EQ(kind.extension, c.ext);
        EXPECT_EQ(kind.contentClass, c.cls);
        EXPECT_EQ(kind.isText, c.isText);
    }
    const std::string longSubtype = "image/" + std::string(vq::kMaxTypePart + 1, 'g');
    EXPECT_EQ(vq::KindFromContentType(settings, longSubtype).group, 0);
}

TEST(ContentType, DispositionNamesAreReducedToTheirLastPart) {
    const CVQPrjSettings settings = NewProject();
    struct Case {
        const char* header;
        const char* name;
        int group;
        const char* ext;
        bool reduced;
    } const cases[] = {
        {"attachment; filename=report.pdf", "report.pdf", vq::kGroupDocument, "pdf", false},
        {"attachment; filename=\"a b.tar.gz\"; size=10", "a b.tar.gz", vq::kGroupArchive, "tar.gz",
         false},
        {"attachment; filename=\"../../etc/cron.d/x.zip\"", "x.zip", vq::kGroupArchive, "zip",
         true},
        {"attachment; filename=..\\..\\win.ini.txt", "win.ini.txt", vq::kGroupDocument, "ini.txt",
         true},
        {"attachment; filename=\"pic\x01\x1b.gif\"", "pic.gif", vq::kGroupImage, "gif", true},
        {"attachment; filename=\"..\"", "", 0, "", true},
        {"inline", "", 0, "", false},
        {"attachment; filename=data.weird", "data.weird", 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        bool reduced = !c.reduced;
        EXPECT_EQ(vq::DispositionFileName(c.header, &reduced), c.name);
        EXPECT_EQ(reduced, c.reduced);
        const CVQContentKind kind = vq::KindFromDisposition(settings, c.header);
        EXPECT_EQ(kind.group, c.group);
        EXPECT_EQ(kind.extension, c.ext);
        EXPECT_EQ(kind.isText, c.group == vq::kGroupHtml);
    }
}

TEST(ContentType, ForAnUploadedFile) {
    const CVQPrjSettings settings = NewProject();
    const std::pair<const char*, const char*> cases[] = {
        {"index.HTML", "text/html"},
        {"a/b.php", "text/html"},
        {"p.png", "image/png"},
        {"p.jpeg", "image/jpeg"},
        {"p.bmp", "image/"},
        {"d.pdf", "application/pdf"},
        {"d.doc", "application/msword"},
        {"d.xls", "application/"},
        {"s.zip", ""},
        {"noext", ""},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(vq::ContentTypeForFile(settings, name), type) << name;
}

class ResponseCheckTest : public ::testing::Test {
protected:
    CVQResponseVerdict Check(const CVQResponseFacts& facts, const std::string& path,
                             bool resumed = false, std::uint64_t knownSize = 0) {
        CVQCheckContext context{settings};
        context.downloadType = downloadType;
        context.preview = preview;
        context.bytesStored = bytesStored;
        context.knownSize = knownSize;
        context.resumed = resumed;
        return vq::CheckResponse(facts, context, path);
    }

    CVQPrjSettings settings = NewProject();
    int downloadType = kDownloadNew;
    bool preview = false;
    std::uint64_t bytesStored = 0;
    CVQTempDir dir;
};

TEST_F(ResponseCheckTest, ContentTypeRenamesTheStoredFile) {
    CVQResponseFacts facts;
    facts.contentType = "image/gif";
    facts.size = 10;
    const CVQResponseVerdict gif = Check(facts, dir.File("pic.php"));
    EXPECT_EQ(gif.group, vq::kGroupImage);
    EXPECT_EQ(gif.localPath, dir.File("pic.gif"));
    EXPECT_TRUE(gif.renamed);
    EXPECT_EQ(gif.note, CVQResponseVerdict::kDownloading);

    facts.contentType.reset();
    facts.contentDisposition = "attachment; filename=\"../../x/evil.zip\"";
    const CVQResponseVerdict zip = Check(facts, dir.File("get.php"));
    EXPECT_EQ(zip.localPath, dir.File("get.zip"));
    EXPECT_FALSE(zip.isPage);

    facts.contentDisposition.reset();
    const CVQResponseVerdict none = Check(facts, dir.File("get.php"));
    EXPECT_EQ(none.group, 0);
    EXPECT_EQ(none.localPath, dir.File("get.php"));
}

TEST_F(ResponseCheckTest, ShortcutsAndLimitsByCase) {
    settings.limMaxFs = 1;
    settings.maxMaxFs = 100;
    CVQResponseFacts page, big, unknownSize;
    page.contentType = "text/html";
    page.size = 5000;
    big.contentType = "application/zip";
    big.size = 5000;
    unknownSize.contentType = "application/zip";

    EXPECT_EQ(Check(page, dir.File("p.htm")).disposition, kDispTransferred); // pages pass
    const CVQResponseVerdict refused = Check(big, dir.File("b.zip"));
    EXPECT_EQ(refused.disposition, kDispRefused);
    EXPECT_EQ(refused.skipReason, kSkipTooBig);
    EXPECT_EQ(refused.log, CVQResponseVerdict::kExceedsLimit);
    EXPECT_EQ(Check(unknownSize, dir.File("b.zip")).disposition, kDispTransferred);

    downloadType = kDownloadSelected; // chosen files skip every test
    EXPECT_EQ(Check(big, dir.File("b.zip")).disposition, kDispTransferred);
    downloadType = kDownloadNew;

    preview = true;
    const CVQResponseVerdict previewed = Check(big, dir.File("b.zip"));
    EXPECT_EQ(previewed.disposition, kDispDone);
    EXPECT_EQ(previewed.note, CVQResponseVerdict::kNoNote);
    EXPECT_EQ(Check(page, dir.File("p.htm")).disposition, kDispTransferred);
    preview = false;

    settings.limMaxFs = 0;
    settings.limDs = 1;
    settings.maxDs = 1000;
    bytesStored = 1001;
    const CVQResponseVerdict full = Check(big, dir.File("b.zip"));
    EXPECT_EQ(full.disposition, kDispRefused);
    EXPECT_EQ(full.log, CVQResponseVerdict::kNoLog);
    settings.dirStr = 2; // "One directory" always takes pages
    EXPECT_EQ(Check(page, dir.File("p.htm")).disposition, kDispTransferred);
}

TEST_F(ResponseCheckTest, APartialFileIsNeverUnchanged) {
    const std::string path = dir.File("half.zip");
    std::ofstream(path) << "12345";
    CVQResponseFacts facts;
    facts.contentType = "application/zip";
    facts.size = 5; // the rest happens to be as long as the part already stored
    EXPECT_EQ(Check(facts, path).note, CVQResponseVerdict::kUnchanged);
    EXPECT_EQ(Check(facts, path, true).note, CVQResponseVerdict::kDownloading);
    EXPECT_EQ(Check(facts, path, false, 6).note, CVQResponseVerdict::kDownloading);
}

} // namespace
