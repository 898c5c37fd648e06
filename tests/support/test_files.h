// Whole-file reads and writes for tests, and the path of a fixture under tests/data.
#pragma once

#include <string>
#include <string_view>

namespace vq::test {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
// $VQ_TEST_DATA/name.
std::string DataPath(const std::string& name);

} // namespace vq::test
