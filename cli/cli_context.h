// What every command of the terminal front end shares: the program options, the folder it was
// started in, its output streams and its exit codes.
#pragma once

#include "desktop/project/program_options.h"

#include <iosfwd>
#include <string>
#include <string_view>

class CVQDoc;

enum VQExitCode : int {
    kExitCompleted = 0,
    kExitError = 1,   // something prevented the run; a message said what
    kExitLimit = 3,   // the download stopped at one of the project's limits
    kExitStopped = 4, // the user stopped the download (Ctrl+C)
};

struct CVQCliContext {
    CVQCliContext(std::ostream& outStream, std::ostream& errStream);

    // Reads the program options the desktop program keeps (read only: a program without a main
    // window writes none back) and the current directory.
    void Load();

    // A path the user typed, made absolute against the folder the program was started in.
    std::string Absolute(std::string_view path) const;

    // Prints a message that ends the command on the error stream; returns kExitError.
    int Fail(const std::string& message) const;

    // Opens a project file for a command. False (after a message) when the file does not exist
    // or cannot be read as a project.
    bool OpenProject(CVQDoc& doc, const std::string& path) const;

    CVQProgramOptions options;
    std::string currentDir;
    std::ostream& out;
    std::ostream& err;
};
