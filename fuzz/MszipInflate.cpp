// The MSZIP inflate of the compressed encodings, on a body as it follows
// the header.
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "d3dx9/xfile/Container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> body;
    std::string error;
    Platform::XFile::Inflate(std::string_view(reinterpret_cast<const char*>(data), size), &body, &error);
    return 0;
}
