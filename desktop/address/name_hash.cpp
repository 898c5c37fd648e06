#include "desktop/address/name_hash.h"

#include <zlib.h>

#include <array>
#include <cstdio>

namespace vq {

namespace {

constexpr std::array<std::uint32_t, 16> kLo = {0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0,
                                               0x0280, 0xC241, 0xC601, 0x06C0, 0x0780, 0xC741,
                                               0x0500, 0xC5C1, 0xC481, 0x0440};
constexpr std::array<std::uint32_t, 16> kHi = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                               0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                               0x5000, 0x9C01, 0x8801, 0x4600};

} // namespace

std::uint32_t Hash16(std::string_view bytes) {
    std::uint32_t reg = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        const std::uint32_t a = (b ^ reg) & 0xFFu;
        reg = kHi[a >> 4] ^ kLo[a & 15u] ^ (reg >> 8);
    }
    return reg;
}

std::uint32_t Crc32(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt; feed long texts in pieces.
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(piece));
        bytes.remove_prefix(piece);
    }
    return static_cast<std::uint32_t>(crc);
}

std::string HashedNameStem(std::string_view lookupKey) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Vq%x%x", static_cast<unsigned>(Hash16(lookupKey)),
                  static_cast<unsigned>(Crc32(lookupKey)));
    return buf;
}

} // namespace vq
