#include "desktop/shell/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, SwitchesAnyCaseAndQuotedPaths) {
    const CVQCommandLine a = CVQCommandLine::Parse("-conv  \"/My Sites/site one.vqp\" -d", "/opt/vq");
    EXPECT_EQ(a.projectPath, "/My Sites/site one.vqp");
    EXPECT_TRUE(a.convert);
    EXPECT_TRUE(a.download);
    EXPECT_FALSE(a.ConvertsProject()) << "-D wins over -CONV";

    const CVQCommandLine b = CVQCommandLine::Parse("-CONV site.vqp other.vqp -Shut -e -DISC", "/opt/vq");
    EXPECT_EQ(b.projectPath, "/opt/vq/site.vqp");
    EXPECT_TRUE(b.ConvertsProject());
    EXPECT_TRUE(b.shutdown && b.exit && b.disconnect);

    const CVQCommandLine none = CVQCommandLine::Parse("-D -SHUT", "/opt/vq");
    EXPECT_FALSE(none.HasProject());
    EXPECT_FALSE(none.DownloadsProject()) << "switches without a project do nothing";

    const CVQCommandLine unterminated = CVQCommandLine::Parse("\"/a b/c.vqp", "/x");
    EXPECT_EQ(unterminated.projectPath, "/a b/c.vqp");

    const CVQCommandLine args = CVQCommandLine::Parse({"-d", "my site.vqp", "-E"}, "/home/u");
    EXPECT_EQ(args.projectPath, "/home/u/my site.vqp");
    EXPECT_TRUE(args.DownloadsProject() && args.exit);
}

TEST(CommandLine, ResolvePath) {
    struct Case {
        const char* path;
        const char* base;
        const char* expected;
    } cases[] = {
        {"../site.vqp", "/programs/tool", "/programs/site.vqp"},
        {"../../site.vqp", "/programs/tool", "/site.vqp"},
        {"site.vqp", "/programs/tool/", "/programs/tool/site.vqp"},
        {"/abs/site.vqp", "/programs/tool", "/abs/site.vqp"},
        {"sub/site.vqp", "", "sub/site.vqp"},
        {"", "/programs", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CVQCommandLine::ResolvePath(c.path, c.base), c.expected) << c.path;
}

} // namespace
