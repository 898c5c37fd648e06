// The program's command line: a project path and the switches that act on it once it is open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CVQCommandLine {
    std::string projectPath; // resolved; empty when none was given
    bool download = false;   // -D: start the download once the project is open
    bool exit = false;       // -E: close the program when that download ends
    bool disconnect = false; // -DISC: hang up when that download ends
    bool shutdown = false;   // -SHUT: shut the computer down when that download ends
    bool convert = false;    // -CONV: convert the project's links once it is open (without -D)

    // Scans a whole command line: blanks separate tokens, a token that begins with a double quote
    // runs to the next one and is always a file name, switches are compared ignoring case. The
    // first file name is the project, resolved against base.
    static CVQCommandLine Parse(std::string_view line, std::string_view base);
    // The same over arguments the shell has already split.
    static CVQCommandLine Parse(const std::vector<std::string>& args, std::string_view base);

    // Resolves a project path against a folder (without trailing "/"): absolute paths stay;
    // each ".." climbs one folder of the base and the text after the last ".." is appended.
    static std::string ResolvePath(std::string_view path, std::string_view base);

    bool HasProject() const { return !projectPath.empty(); }
    // The switches act only on a project named on the command line.
    bool DownloadsProject() const { return HasProject() && download; }
    bool ConvertsProject() const { return HasProject() && convert && !download; }
};
