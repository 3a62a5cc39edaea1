#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>

namespace Vorel {

// A number as a default-formatted output stream writes it: plain decimal for
// integers, at most six significant digits for floats ("0.3", "1e+07").
template <typename T>
std::string ToString(T value) {
    static_assert(std::is_same_v<T, int32_t> || std::is_same_v<T, uint32_t> || std::is_same_v<T, float>,
                  "ToString formats 32-bit integers and floats");
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

}  // namespace Vorel
