// The save directory of a download: macro expansion, creation, and renaming stored files by type.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

// "[%d]" becomes the local date as MMDDYY, "[%t]" the local time as HH_MM_SS.
std::string ExpandDirectoryMacros(std::string_view projectDir, const std::tm& localTime);

struct CVQSaveDirectory {
    std::string inUse;   // the download directory in use, as expanded
    std::string saveDir; // the same ending in "/", created with its parents
    bool created = false;
};

// Turns VQ_PROJECT_DIR into the save directory in use and creates it. An empty setting falls
// back to the program's default download directory.
CVQSaveDirectory ExpandSaveDirectory(std::string_view projectDir,
                                     std::string_view defaultDownloadDir, bool expandMacros);

// Creates a directory and every missing parent. "Already exists" and errors other than a
// missing path count as success, so that the file write that follows reports the real problem.
bool CreateDirectories(const std::string& path);

// Gives a stored file the extension its content type calls for; a "^" query part stays after it.
std::string RenameByType(std::string_view path, std::string_view newExtension);
