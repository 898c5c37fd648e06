// Whole-file helpers of the tests.
#include "tests/support/test_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vq::test {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string DataPath(const std::string& name) {
    const char* root = std::getenv("VQ_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/" + name;
}

} // namespace vq::test
