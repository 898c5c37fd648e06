// The user's standard folders: the home folder, the configuration home and the documents folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vq {

// $HOME, else the home folder of the user's account entry; without a trailing slash.
std::string HomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else the home folder + "/.config".
std::string ConfigHome();

// $XDG_DATA_HOME when it is an absolute path, else the home folder + "/.local/share".
std::string DataHome();

// The folder where the program keeps what it writes at run time and the system keeps in its
// program folder: DataHome() + "/Velloquin".
std::string ProgramDataFolder();

// The value of one entry (such as "XDG_DOCUMENTS_DIR") in the text of a user-dirs.dirs file:
// "$HOME/..." is taken relative to home, "/..." as it stands; backslash escapes one character.
// The last well-formed line wins; nullopt when there is none. No trailing slash.
std::optional<std::string> UserDirsEntry(std::string_view fileText, std::string_view key,
                                         std::string_view home);

// XDG_DOCUMENTS_DIR of <configHome>/user-dirs.dirs, else home + "/Documents".
std::string DocumentsDirectory(std::string_view configHome, std::string_view home);

// The same for the running user.
std::string DocumentsDirectory();

} // namespace vq
