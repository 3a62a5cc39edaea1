// Helpers shared by the tests: captured debugger output, a driven clock,
// the real model files.
#pragma once

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Common.h"
#include "DeviceWindow.h"
#include "win32/Clock.h"
#include "win32/DebugOutput.h"

namespace VorelTest {

// Collects what OutputDebugStringA writes while it lives (and so keeps it
// off the test's output), however the test ends.
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

// The environment variable set for the test's length, as it was after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old, m_had = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

// The corners of a mesh's triangles, from its 16- or 32-bit indices.
inline std::vector<uint32_t> Corners(ID3DXMesh* mesh) {
    void* data = nullptr;
    if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data))) return {};
    std::vector<uint32_t> corners(size_t(mesh->GetNumFaces()) * 3);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (size_t i = 0; i < corners.size(); ++i)
        corners[i] = wide ? static_cast<const uint32_t*>(data)[i] : static_cast<const uint16_t*>(data)[i];
    mesh->UnlockIndexBuffer();
    return corners;
}

// The vertices a bone of a skin moves, each with its weight.
inline std::vector<std::pair<DWORD, float>> Influences(ID3DXSkinInfo* skin, DWORD bone) {
    std::vector<DWORD> vertices(skin->GetNumBoneInfluences(bone));
    std::vector<float> weights(vertices.size());
    if (FAILED(skin->GetBoneInfluence(bone, vertices.data(), weights.data()))) return {};
    std::vector<std::pair<DWORD, float>> influences;
    for (size_t i = 0; i < vertices.size(); ++i)
        influences.emplace_back(vertices[i], weights[i]);
    return influences;
}

// The bundled sample models: the figure, the stalk, the blocks.
inline std::vector<std::filesystem::path> SampleModelFiles() {
    const auto folder = std::filesystem::path(VOREL_SOURCE_DIR) / "Assets" / "Models";
    return {folder / "Figure.x", folder / "Lumen.x", folder / "Blocks.x"};
}

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
