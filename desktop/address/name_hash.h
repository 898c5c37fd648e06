// The two checksums that give long or query-bearing addresses their hashed file names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vq {

// 16-bit table CRC run in a 32-bit register that starts at all ones and is not inverted.
std::uint32_t Hash16(std::string_view bytes);

// The standard CRC-32 (zlib's crc32).
std::uint32_t Crc32(std::string_view bytes);

// "Vq" + Hash16 + Crc32 of the text, both in lower-case hexadecimal without leading zeros.
std::string HashedNameStem(std::string_view lookupKey);

} // namespace vq
