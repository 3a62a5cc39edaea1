#pragma once

#include <cstdint>
#include <cstring>

namespace Platform {

// Unaligned little-endian reads from file data (the machine is little-endian).
inline uint16_t Read16(const void* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline uint32_t Read32(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace Platform
