#include "platform/registry.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace {

TEST(Registry, ValuesSurviveAFlushAndAReopen) {
    const CVQTempDir dir;
    const std::string path = dir.File("deep/er/Velloquin.conf");
    const std::vector<std::string> texts = {"",
                                            "plain",
                                            "a, b,c",
                                            "@at start",
                                            "\"quoted\"",
                                            "back\\slash",
                                            "semi;colon = eq",
                                            "  spaced  ",
                                            "line\nbreak\ttab",
                                            "Gr\xc3\xbc\xc3\x9f"
                                            "e",
                                            "\x91\x92\xff\x01", // a scrambled password is not UTF-8
                                            std::string("nul\0in", 6)};
    const std::vector<int> numbers = {INT_MIN, -1, 0, 42, INT_MAX};
    {
        CVQRegistry registry(path);
        for (std::size_t i = 0; i < texts.size(); ++i)
            registry.WriteString("Options", "Text" + std::to_string(i), texts[i]);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            registry.WriteInt("Desktop", "Number" + std::to_string(i), numbers[i]);
        ASSERT_TRUE(registry.Flush());
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    const CVQRegistry reread(path);
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(reread.ReadString("Options", "Text" + std::to_string(i), "fallback"), texts[i])
            << "text " << i;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(reread.ReadInt("Desktop", "Number" + std::to_string(i), 7), numbers[i]);
}

TEST(Registry, FallbacksForMissingAndUnreadableValues) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("r.conf"));
    registry.WriteString("Options", "Word", "abc");
    registry.WriteString("Options", "Digits", "12");
    registry.WriteString("Options", "Huge", "4294967296");
    registry.WriteInt("Options", "Number", 5);

    EXPECT_EQ(registry.ReadInt("Options", "Missing", -3), -3);
    EXPECT_EQ(registry.ReadInt("Options", "Word", -3), -3);
    EXPECT_EQ(registry.ReadInt("Options", "Huge", -3), -3);
    EXPECT_EQ(registry.ReadInt("Options", "Digits", -3), 12);
    EXPECT_EQ(registry.ReadString("Options", "Number", ""), "5");
    EXPECT_EQ(registry.ReadString("Options", "Missing", "dflt"), "dflt");
    // Sections keep their values apart.
    EXPECT_FALSE(registry.HasValue("Desktop", "Word"));
    EXPECT_EQ(registry.ReadString("Desktop", "Word", "none"), "none");
}

TEST(Registry, HandEditedFileIsRead) {
    const CVQTempDir dir;
    std::ofstream(dir.File("r.conf")) << "[Options]\nProxyAddress=a,b\nAutoSaveValue= 7 \n"
                                         "[ExOptions]\nFind01=x\nFindQuant=1\n";
    const CVQRegistry registry(dir.File("r.conf"));
    EXPECT_EQ(registry.ReadString("Options", "ProxyAddress", ""), "a,b");
    EXPECT_EQ(registry.ReadInt("Options", "AutoSaveValue", 0), 7);
    std::vector<std::string> names = registry.ValueNames("ExOptions");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Find01", "FindQuant"}));
}

TEST(Registry, RemoveDeletesOneValue) {
    const CVQTempDir dir;
    CVQRegistry registry(dir.File("r.conf"));
    registry.WriteInt("ExOptions", "Find11", 1);
    registry.WriteInt("ExOptions", "Find12", 1);
    registry.Remove("ExOptions", "Find11");
    ASSERT_TRUE(registry.Flush());
    const CVQRegistry reread(dir.File("r.conf"));
    EXPECT_FALSE(reread.HasValue("ExOptions", "Find11"));
    EXPECT_TRUE(reread.HasValue("ExOptions", "Find12"));
}

TEST(Registry, FlushReportsAFileThatCannotBeWritten) {
    const CVQTempDir dir;
    std::ofstream(dir.File("plain-file")) << "x";
    CVQRegistry registry(dir.File("plain-file/sub/r.conf"));
    registry.WriteInt("Options", "FirstRun", 0);
    EXPECT_FALSE(registry.Flush());
}

// Sets an environment variable for one test and puts the old value back.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value, 1);
    }
    ~EnvGuard() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(Registry, DefaultPathFollowsTheConfigurationHome) {
    const EnvGuard home("HOME", "/home/tester/");
    {
        const EnvGuard config("XDG_CONFIG_HOME", "/cfg/home");
        EXPECT_EQ(CVQRegistry::DefaultPath(), "/cfg/home/Kestrova/Velloquin.conf");
    }
    const EnvGuard relative("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(CVQRegistry::DefaultPath(), "/home/tester/.config/Kestrova/Velloquin.conf");
}

} // namespace
