// Template files (".vqt"): a project's settings without its tree, as human-readable key lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class CVQDoc;
struct CVQPrjSettings;
struct CVQProgramOptions;

class CVQTempl {
public:
    static constexpr std::string_view kDefaultName = "default.vqt";

    // Writes the settings as a template; false when the file cannot be created or written.
    static bool Write(const std::string& path, const CVQPrjSettings& settings);
    // Reads a template over the settings; false when the file cannot be opened, when no line
    // with a known key was found, or when any line failed.
    static bool Read(const std::string& path, CVQPrjSettings& settings);

    // The same on the file's text.
    static std::string WriteText(const CVQPrjSettings& settings);
    static bool ReadText(std::string_view text, CVQPrjSettings& settings);

    // The quoted value at the start of text (blanks skipped): everything from the first double
    // quote to the last one, trailing blanks dropped; doubled quotes stay doubled. nullopt
    // without an opening quote. Other files of the program share this syntax.
    static std::optional<std::string> QuotedValue(std::string_view text);

    // "Set As Default": writes "default.vqt" into LastDir of the options, else the directory of
    // the default or the last template, else the current directory; then turns UseTemplFile on
    // with TemplFile naming that file. False (options unchanged) when it cannot be written.
    static bool SetAsDefault(const CVQPrjSettings& settings, CVQProgramOptions& options,
                             std::string* writtenPath = nullptr);
    static std::string DefaultTemplateDirectory(const CVQProgramOptions& options);

    // Opening a template from the file system: a new project with the template's settings and
    // the template's path with ".vqp" as its (not yet written) file name. A file that fails as
    // a template is tried once more as a project file.
    static bool OpenAsNewProject(CVQDoc& doc, const std::string& path);
    // "Open Template File": the template over the current project, which is then changed.
    static bool ApplyToProject(CVQDoc& doc, const std::string& path);
    // The path with its extension replaced by ".vqp".
    static std::string ProjectPathFor(std::string_view templatePath);
};
