#include "desktop/project/doc_node.h"
#include "desktop/project/file_classifier.h"
#include "desktop/project/prj_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(FileClassifier, SnapshotAnswersAsTheLists) {
    CVQPrjSettings settings;
    vq::FindExt(*settings.ExtList(vq::kGroupImage), "bmp")->enabled = 0;
    settings.ExtList(vq::kGroupOther)->push_back({.ext = "gif"}); // the Image list comes first
    const CVQFileClassifier classifier(settings);
    for (const char* ext :
         {"htm", "HTML", "css", "bmp", "gif", "swf", "class", "pdf", "zip", "json", "", "x.y"}) {
        const CVQFileClass lists = vq::ClassifyExtension(settings, ext);
        const CVQFileClass snapshot = classifier.ClassifyExtension(ext);
        EXPECT_EQ(snapshot.group, lists.group) << ext;
        EXPECT_EQ(snapshot.extEnabled, lists.extEnabled) << ext;
    }
    EXPECT_EQ(classifier.ClassifyExtension("BMP").extEnabled, 0);
    EXPECT_EQ(classifier.ClassifyExtension("gif").group, vq::kGroupImage);
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
