// Helpers shared by the tests: captured debugger output, a driven clock,
// the real model files.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Common.h"
#include "DeviceWindow.h"
#include "win32/Clock.h"
#include "win32/DebugOutput.h"

namespace VorelTest {

// Collects what OutputDebugStringA writes while it lives.
class CapturedDebugOutput {
public:
    CapturedDebugOutput() {
        Platform::SetDebugSink([this](std::string_view text) { m_text += text; });
    }
    ~CapturedDebugOutput() { Platform::SetDebugSink({}); }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// Drops what OutputDebugStringA writes while it lives, however the test
// ends.
class MutedDebugOutput {
public:
    MutedDebugOutput() {
        Platform::SetDebugSink([](std::string_view) {});
    }
    ~MutedDebugOutput() { Platform::SetDebugSink({}); }
    MutedDebugOutput(const MutedDebugOutput&) = delete;
    MutedDebugOutput& operator=(const MutedDebugOutput&) = delete;
};

// A clock the test drives. Time is kept in microseconds and every read of
// timeGetTime moves it on by one, so that busy-waits on it end; the reading
// is whole milliseconds, as the platform clock gives.
class DrivenClock {
public:
    explicit DrivenClock(uint64_t startMs = 0) : m_us(startMs * 1000) {
        Platform::SetTimeSource([this] {
            ++m_reads;
            const auto ms = static_cast<uint32_t>(m_us / 1000);
            ++m_us;
            return ms;
        });
    }
    ~DrivenClock() { Platform::SetTimeSource({}); }

    void AdvanceMs(uint64_t ms) { m_us += ms * 1000; }
    // Moves on to the start of the next whole millisecond.
    void AlignToMs() { m_us = (m_us + 999) / 1000 * 1000; }
    uint32_t NowMs() const { return static_cast<uint32_t>(m_us / 1000); }
    uint64_t Reads() const { return m_reads; }

private:
    uint64_t m_us;
    uint64_t m_reads = 0;
};

// Restores the current directory when it goes out of scope.
class KeepCurrentDirectory {
public:
    KeepCurrentDirectory() : m_saved(std::filesystem::current_path()) {}
    ~KeepCurrentDirectory() { std::filesystem::current_path(m_saved); }

private:
    std::filesystem::path m_saved;
};

// The real .x files of ../shared/models beside the project, in a stable
// order, and how many there are in the test's output; none when the folder
// is not there. A test of them alone skips when there are none.
inline std::vector<std::filesystem::path> RealModelFiles() {
    namespace fs = std::filesystem;
    const fs::path root = fs::path(VOREL_SOURCE_DIR) / ".." / "shared" / "models";
    std::vector<fs::path> files;
    std::error_code ec;
    if (fs::is_directory(root, ec))
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
            std::string ext = it->path().extension().string();
            for (char& c : ext)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (it->is_regular_file() && ext == ".x") files.push_back(it->path());
        }
    std::sort(files.begin(), files.end());
    std::printf("[ covered  ] %zu real model files\n", files.size());
    return files;
}
}  // namespace VorelTest
