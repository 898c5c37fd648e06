#include "desktop/content/class_file_scanner.h"
#include "desktop/content/text_file_scanner.h"
#include "tests/content/scan_support.h"
#include "tests/support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

using Links = std::vector<std::string>;

TEST(TextFileScan, StyleSheetsAndScripts) {
    EXPECT_EQ(TextFileLinks("@import url(\"print.css\");\n"
                            "body { background: url(img/bg.gif) }\n"
                            ".a { behavior: 'x.htc' }\n"),
              (Links{"print.css", "print.css", "img/bg.gif", "x.htc"}));
    EXPECT_EQ(TextFileLinks("var imgs = ['a.gif', 'b.gif'];\nlocation.href = \"next.htm\";"),
              (Links{"a.gif", "b.gif", "next.htm"}));
    // A literal is read within one line: lines are at most 4160 bytes.
    EXPECT_EQ(TextFileLinks(std::string(4155, ' ') + "\"cut.htm\"\n\"kept.htm\""),
              Links{"kept.htm"});
}

TEST(TextFileScan, OffsetsAreFileOffsets) {
    const std::string text = "a = 1;\nb = \"two.htm\";\n";
    const CVQPrjSettings settings;
    const CVQFileClassifier classifier(settings);
    const CVQLinkTest test(classifier);
    const CVQStringScanner strings(test);
    CVQRecordingSink sink;
    const auto source = CVQByteSource::FromText(text);
    CVQTextFileScanner(strings).Scan(*source, sink);
    ASSERT_EQ(sink.links.size(), 1u);
    EXPECT_EQ(text.substr(sink.links[0].offset, sink.links[0].length), "two.htm");
}

TEST(ClassFileScan, NamesAndAddressesInConstants) {
    const CVQPrjSettings settings;
    const CVQClassFileScanner scanner(settings);
    using namespace std::string_literals;
    const std::string block = "\xCA\xFE\x01\x00\x0Cimages/a.gif\x01\x00\x05"s +
                              "b.htm\x01\x00\x06"s + "a.html\x01\x00\x0E"s +
                              "http://o.com/x\x00\x01"s + ".gif\x07x.jpeg"s;
    CVQRecordingSink sink;
    scanner.ScanBlock(block, 100, sink);
    EXPECT_EQ(sink.Texts(), (Links{"b.htm", "a.html", "images/a.gif", "x.jpeg", "http://o.com/x"}));
    EXPECT_EQ(sink.links[0].offset, 100 + block.find("b.htm"));

    // Disabled extensions are not looked for.
    CVQPrjSettings noGif;
    for (CVQFileExt& ext : *noGif.ExtList(vq::kGroupImage))
        ext.enabled = ext.ext != "gif";
    CVQRecordingSink sink2;
    CVQClassFileScanner(noGif).ScanBlock(block, 0, sink2);
    EXPECT_EQ(sink2.Texts(), (Links{"b.htm", "a.html", "x.jpeg", "http://o.com/x"}));
}

TEST(ClassFileScan, ReadsTheFileInBlocks) {
    CVQTempDir dir;
    const std::string path = dir.File("A.class");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(CVQClassFileScanner::kBlockBytes - 3, '\x01') << "\x01x.gif\x01y.gif";
    }
    const CVQPrjSettings settings;
    CVQRecordingSink sink;
    EXPECT_TRUE(CVQClassFileScanner(settings).Scan(path, sink));
    // "x.gif" is cut by the end of the first block; "y.gif" lies wholly in the second.
    EXPECT_EQ(sink.Texts(), Links{"y.gif"});
    EXPECT_FALSE(CVQClassFileScanner(settings).Scan(dir.File("missing.class"), sink));
}

} // namespace
