// Runs a fuzz target over saved inputs without libFuzzer, as an ordinary
// test: each argument is an input file or a folder of them. Any fault the
// sanitizers see stops the run; otherwise it says how many inputs it ran.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    std::error_code ec;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::directory_iterator(argv[i], ec))
                if (entry.is_regular_file()) inputs.push_back(fs::absolute(entry.path()));
        } else {
            inputs.push_back(fs::absolute(argv[i]));
        }
    }
    // Absolute: a target may change the current folder when it starts.
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& input : inputs) {
        // A copy of exactly the input's size, so that a read past its end
        // is seen.
        const std::string bytes = VorelTest::ReadFile(input);
        const std::vector<uint8_t> exact(bytes.begin(), bytes.end());
        if (exact.empty() && fs::file_size(input, ec) != 0) {
            std::fprintf(stderr, "replay: %s cannot be read\n", input.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    }
    std::printf("replay: %zu inputs, no fault\n", inputs.size());
    return 0;
}
