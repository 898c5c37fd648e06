#include "desktop/project/doc_node.h"
#include "desktop/project/file_classifier.h"
#include "desktop/project/prj_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(FileClassifier, GroupOfAnAddressOrPath) {
    CVQPrjSettings settings;
    vq::FindExt(*settings.ExtList(vq::kGroupImage), "bmp")->enabled = 0;
    const CVQFileClassifier classifier(settings);
    const struct {
        const char* name;
        CVQFileClass expected;
    } cases[] = {
        {"http://o.com/a/page.HTM", {vq::kGroupHtml, 1}},
        {"http://o.com/a/", {vq::kGroupHtml, 1}},
        {"http://o.com", {vq::kGroupHtml, 1}},
        {"http://o.com/?q=1", {vq::kGroupHtml, 1}},
        {"http://o.com/pic.bmp", {vq::kGroupImage, 0}},
        {"http://o.com/go.php?img=/x/y.gif", {vq::kGroupHtml, 1}},
        {"http://o.com/a.jsp;jsessionid=X.Y", {vq::kGroupHtml, 1}},
        {"http://o.com/clip.swf#start", {vq::kGroupOther, 1}},
        {"http://o.com/data.json", {0, 1}},
        {"http://o.com/readme", {0, 1}},
        {"/save/o.com/page.asp^id=3.htm", {vq::kGroupHtml, 1}},
        {"/save/o.com/s.css", {vq::kGroupHtml, 1}},
        {"/save/o.com/A.class", {vq::kGroupJava, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifier.Classify(c.name), c.expected) << c.name;
}

TEST(FileClassifier, PageOrFileKind) {
    const struct {
        int group;
        int contentClass;
        const char* ext;
        bool whenAdded;
        int kind;
    } cases[] = {
        {vq::kGroupHtml, 0, "htm", false, kNodePage},
        {vq::kGroupJava, 0, "js", false, kNodePage},
        {vq::kGroupImage, 0, "gif", false, kNodeFile},
        {vq::kGroupImage, 0, "svg", false, kNodePage},
        {vq::kGroupImage, 1, "png", false, kNodePage},
        {vq::kGroupDocument, 0, "pdf", false, kNodePage},
        {vq::kGroupDocument, 0, "doc", false, kNodeFile},
        {vq::kGroupOther, 0, "swf", false, kNodePage},
        {vq::kGroupAudio, 0, "m3u", false, kNodePage},
        {vq::kGroupVideo, 0, "FLV", false, kNodePage},
        {vq::kGroupArchive, 1, "zip", false, kNodeFile},
        {vq::kGroupArchive, 2, "zip", true, kNodePage},
        {0, 0, "", true, kNodeFile},
        {0, 1, "", true, kNodePage},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vq::NodeKindFor(c.group, c.contentClass, c.ext, c.whenAdded), c.kind)
            << c.group << " " << c.contentClass << " " << c.ext;
}

} // namespace
