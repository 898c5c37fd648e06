#include "common/contents_file/contents_file.h"
#include "common/contents_file/contents_writer.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Raw bytes of a contents file, for files the writer would never produce.
class RawFile {
public:
    RawFile& U8(int v) { m_bytes += static_cast<char>(v); return *this; }
    RawFile& U16(int v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
    RawFile& U32(long long v) {
        for (int i = 0; i < 4; ++i)
            U8(static_cast<int>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    RawFile& Str(const std::string& s) {
        U32(static_cast<long long>(s.size()));
        m_bytes += s;
        return *this;
    }
    RawFile& Record(long long id, long long prev, long long next, long long parent, long long child,
                    const std::string& url = "u") {
        return U8(2).U16(1).U8(2).Str("t").Str(url).Str("p").U32(id).U32(prev).U32(next).U32(parent).U32(child);
    }
    void Save(const std::string& path) const { std::ofstream(path, std::ios::binary) << m_bytes; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

CVQContentsSource Node(int kind, int group, int status, const std::string& title, int parent,
                       const std::string& localPath = {}) {
    CVQContentsSource n;
    n.kind = kind;
    n.group = group;
    n.status = status;
    n.title = title;
    n.url = "http://h/" + title;
    n.localPath = localPath;
    n.parent = parent;
    return n;
}

// Links parent / first child / next sibling from the parent indices of a pre-order list.
void LinkChildren(std::vector<CVQContentsSource>& nodes) {
    std::vector<int> last(nodes.size(), -1);
    for (int i = 1; i < static_cast<int>(nodes.size()); ++i) {
        const int p = nodes[static_cast<std::size_t>(i)].parent;
        if (last[static_cast<std::size_t>(p)] < 0)
            nodes[static_cast<std::size_t>(p)].firstChild = i;
        else
            nodes[static_cast<std::size_t>(last[static_cast<std::size_t>(p)])].nextSibling = i;
        last[static_cast<std::size_t>(p)] = i;
    }
}

TEST(ContentsFile, WritesWhatTheViewerShowsAndReadsItBack) {
    CVQTempDir dir;
    const std::string s = "/sites/news/";
    std::vector<CVQContentsSource> nodes = {
        Node(1, 0, 0, "News", -1),
        Node(2, 1, 2, "index", 0, s + "index.htm"),       // 1 written
        Node(3, 2, 2, "logo", 1, s + "img/logo.gif"),     // 2 written, image
        Node(2, 1, 0, "skipped", 0, s + "skipped.htm"),  // 3 left out: no downloaded child
        Node(2, 1, 0, "middle", 3, s + "middle.htm"),    // 4 written: its child is downloaded
        Node(3, 2, 2, "deep", 4, "/elsewhere/cdn/a.png"), // 5 written
        Node(3, 1, 2, "last", 0, s + "last.htm"),         // 6 written
    };
    LinkChildren(nodes);
    CVQContentsExport how{"News", s, 1};
    ASSERT_EQ(CVQContentsWriter().Write(dir.File("News.vqx"), nodes, how), VQContentsWriteError::None);

    CVQContentsFile file;
    ASSERT_TRUE(file.Open(dir.File("News.vqx")));
    const auto& r = file.Records();
    ASSERT_EQ(r.size(), 6u);
    const std::uint32_t ids[] = {0, 1, 2, 4, 5, 6};
    for (std::size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(r[i].id, ids[i]);
    EXPECT_EQ(r[0].title, "News");
    EXPECT_EQ(r[1].localPath, "News\\index.htm");
    EXPECT_EQ(r[2].localPath, "News\\img\\logo.gif");
    EXPECT_EQ(r[2].status, 0) << "images are not exported with mask 1";
    EXPECT_EQ(r[1].status, 2);
    EXPECT_EQ(r[4].localPath, "News\\..\\..\\elsewhere\\cdn\\a.png");
    // The skipped page is left out: index's next sibling is "last"; middle hangs at the top.
    EXPECT_EQ(r[1].nextId, 6);
    EXPECT_EQ(r[5].prevId, 1);
    EXPECT_EQ(r[3].parentId, -1);
    EXPECT_EQ(r[4].parentId, 4);
    EXPECT_EQ(r[4].parent, 3);
    EXPECT_EQ(r[0].firstChild, 1);
    EXPECT_EQ(file.PreOrder(), (std::vector<int>{0, 1, 2, 5}));

    std::string title;
    EXPECT_TRUE(CVQContentsFile::ReadProjectTitle(dir.File("News.vqx"), title));
    EXPECT_EQ(title, "News");
}

TEST(ContentsFile, RootOnlyAndBaseFolder) {
    CVQTempDir dir;
    std::vector<CVQContentsSource> nodes = {Node(1, 0, 0, "Empty", -1)};
    ASSERT_EQ(CVQContentsWriter().Write(dir.File("e.vqx"), nodes, {"e", "/s/", 511}),
              VQContentsWriteError::None);
    CVQContentsFile file;
    ASSERT_TRUE(file.Open(dir.File("e.vqx")));
    ASSERT_EQ(file.Records().size(), 1u);
    const CVQContentsRecord& root = file.Records()[0];
    EXPECT_EQ(std::vector<int>({root.prevId, root.nextId, root.parentId, root.firstChildId}),
              std::vector<int>({-1, -1, -1, -1}));

    // The first start page outside the save directory makes its own folder the base.
    std::vector<CVQContentsSource> moved = {Node(1, 0, 0, "r", -1), Node(2, 1, 2, "a", 0, "/other/x/a.htm")};
    LinkChildren(moved);
    EXPECT_EQ(CVQContentsWriter::ExportBaseFolder(moved, "/s/"), "/other/x/");
    EXPECT_EQ(CVQContentsWriter::StoredLocalPath("/other/x/a.htm", "/other/x/", "P"), "P\\a.htm");
    EXPECT_EQ(CVQContentsWriter::StoredLocalPath("/s/../a.htm", "/s/", "P"), "P\\\\s\\..\\a.htm");
}

TEST(ContentsFile, ReaderLimits) {
    CVQTempDir dir;
    const std::string path = dir.File("x.vqx");
    CVQContentsFile file;

    RawFile wrongMagic;
    wrongMagic.Str("Velloquin Contents File v1.1").Record(0, -1, -1, -1, -1);
    wrongMagic.Save(path);
    EXPECT_FALSE(file.Open(path));

    for (std::size_t n : {520u, 521u}) {
        RawFile longMagic;
        longMagic.Str(std::string(n, 'V'));
        longMagic.Save(path);
        EXPECT_FALSE(file.Open(path)) << n;
    }

    RawFile strings;
    strings.Str(std::string(kContentsMagic)).Record(0, -1, -1, -1, 1, std::string(260, 'a'));
    strings.Record(1, -1, -1, 0, -1, std::string(261, 'b')).Record(2, -1, -1, 0, -1);
    strings.Save(path);
    ASSERT_TRUE(file.Open(path));
    ASSERT_EQ(file.Records().size(), 1u) << "the over-long record ends the tree";
    EXPECT_EQ(file.Records()[0].url.size(), 260u);
    EXPECT_EQ(file.Records()[0].firstChild, -1) << "links never point outside the list";

    RawFile many;
    many.Str(std::string(kContentsMagic));
    for (int i = 0; i < 1500; ++i)
        many.Record(i, i - 1, i + 1, -1, -1);
    many.Save(path);
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Records().size(), 1000u);

    // Every cut of a valid file opens (or fails on the magic) and keeps whole records only.
    const std::string bytes = many.Bytes().substr(0, 400);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        std::ofstream(path, std::ios::binary) << bytes.substr(0, cut);
        if (file.Open(path)) {
            EXPECT_LE(file.Records().size(), cut / 30);
        }
    }
}

TEST(ContentsFile, CircularLinksAreVisitedOnce) {
    CVQTempDir dir;
    RawFile cycle;
    cycle.Str(std::string(kContentsMagic)).Record(0, -1, -1, -1, 1).Record(1, 2, 2, 0, 2).Record(2, 1, 1, 1, 0);
    cycle.Save(dir.File("c.vqx"));
    CVQContentsFile file;
    ASSERT_TRUE(file.Open(dir.File("c.vqx")));
    EXPECT_EQ(file.PreOrder().size(), 3u);
}

TEST(ContentsFile, ResolveLocalPath) {
    struct Case {
        const char* stored;
        const char* expected;
    } cases[] = {
        {"News\\..\\cdn\\a.png", "/dev/My Documents/cdn/a.png"},
        {"News\\site\\index.html", "/dev/My Documents/News/site/index.html"},
        {"News\\.\\a.htm", "/dev/My Documents/News/a.htm"},
        {"", ""},
        {"..\\..\\etc\\passwd", ""},
        {"News\\..\\..\\x", ""},
        {"\\etc\\passwd", ""},
        {"C:\\x.htm", ""},
        {"/etc/passwd", ""},
        {"..", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveContentsPath(c.stored, "/dev/My Documents"), c.expected) << c.stored;
}

} // namespace
