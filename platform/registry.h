// The per-user registry stand-in: named int and string values in sections, kept in one INI file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The program's sections; others (the user-interface framework's) may exist beside them.
namespace vq {
inline constexpr std::string_view kSectionOptions = "Options";
inline constexpr std::string_view kSectionExOptions = "ExOptions";
inline constexpr std::string_view kSectionDesktop = "Desktop";
inline constexpr std::string_view kSectionSchedule = "Schedule";
inline constexpr std::string_view kSectionInstaller = "Installer_Settings";
} // namespace vq

// Not meant to be shared between threads; two objects over one file see each other's values
// once the writer has flushed.
class CVQRegistry {
public:
    // The program's own file: $XDG_CONFIG_HOME/Kestrova/Velloquin.conf (default ~/.config).
    CVQRegistry();
    // Another file, for tests and tools. The file and its folder are created on the first flush.
    explicit CVQRegistry(const std::string& filePath);
    // Writes what is still pending.
    ~CVQRegistry();
    CVQRegistry(const CVQRegistry&) = delete;
    CVQRegistry& operator=(const CVQRegistry&) = delete;

    static std::string DefaultPath();
    const std::string& FilePath() const { return m_filePath; }

    bool HasValue(std::string_view section, std::string_view name) const;
    // A missing value, or one that is not a whole number in int range, gives the fallback.
    int ReadInt(std::string_view section, std::string_view name, int fallback) const;
    // The bytes stored, also when they are not UTF-8; a missing value gives the fallback.
    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view fallback) const;
    // The names of the values in a section, in no particular order.
    std::vector<std::string> ValueNames(std::string_view section) const;

    void WriteInt(std::string_view section, std::string_view name, int value);
    // Text that is not UTF-8 (a scrambled password) is kept byte for byte.
    void WriteString(std::string_view section, std::string_view name, std::string_view value);
    void Remove(std::string_view section, std::string_view name);

    // Writes the pending changes to the file, creating its folder; false when that fails.
    bool Flush();

private:
    struct Impl;
    std::string m_filePath;
    std::unique_ptr<Impl> m_impl;
};
