#pragma once

#include <cstdint>
#include <span>

namespace Platform {

struct ResultName {
    uint32_t code;
    const char* name;
};

// The whole table, in ascending order of code.
std::span<const ResultName> ResultNameTable();
const char* ResultNameOf(uint32_t code);

}  // namespace Platform
