// A fresh folder under the system's temporary folder for one test, removed with its contents.
#pragma once

#include <string>

class CVQTempDir {
public:
    CVQTempDir();
    ~CVQTempDir();
    CVQTempDir(const CVQTempDir&) = delete;
    CVQTempDir& operator=(const CVQTempDir&) = delete;

    // Absolute, without a trailing slash.
    const std::string& Path() const { return m_path; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
