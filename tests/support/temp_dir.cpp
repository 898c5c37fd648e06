// Creates the folder with mkdtemp so that parallel test processes never share one.
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <stdexcept>
#include <stdlib.h>
#include <system_error>
#include <vector>

CVQTempDir::CVQTempDir() {
    const std::string pattern =
        (std::filesystem::temp_directory_path() / "vq_test_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = buffer.data();
}

CVQTempDir::~CVQTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
