#include <dxerr.h>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "dxerr/ResultNames.h"

namespace {

using VorelTest::CapturedDebugOutput;

TEST(ResultNames, TableIsStrictlyAscendingSoTheLookupCanBisect) {
    const auto table = Platform::ResultNameTable();
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(table[i - 1].code, table[i].code) << table[i].name;
}

TEST(ResultNames, NamesCodesAsThePlatformHeadersDefineThem) {
    const struct {
        HRESULT hr;
        const char* name;
    } cases[] = {{S_OK, "S_OK"},
                 {E_FAIL, "E_FAIL"},
                 {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
                 {E_INVALIDARG, "E_INVALIDARG"},
                 {static_cast<HRESULT>(0x88760868), "D3DERR_DEVICELOST"},
                 {static_cast<HRESULT>(0x8876086C), "D3DERR_INVALIDCALL"},
                 {static_cast<HRESULT>(0x88760B59), "D3DXERR_INVALIDDATA"},
                 {static_cast<HRESULT>(0x8876038F), "D3DXFERR_BADFILE"},
                 {static_cast<HRESULT>(0x88760390), "D3DXFERR_PARSEERROR"},
                 {static_cast<HRESULT>(0x12345678), "Unknown"},
                 {static_cast<HRESULT>(0x88760001), "Unknown"}};
    for (const auto& c : cases)
        EXPECT_STREQ(DXGetErrorStringA(c.hr), c.name) << std::hex << c.hr;
}

TEST(DXTrace, LeavesOutWhatIsMissingOrUnusable) {
    const std::string long1023(1023, 'm');
    const std::string long1024(1024, 'm');
    const struct {
        const char* file;
        const char* message;
        std::string expected;
    } cases[] = {{nullptr, "call()", "call() hr=E_FAIL (0x80004005)\n"},
                 {"f.cpp", nullptr, "f.cpp(7): hr=E_FAIL (0x80004005)\n"},
                 {"f.cpp", "", "f.cpp(7): hr=E_FAIL (0x80004005)\n"},
                 {nullptr, nullptr, "hr=E_FAIL (0x80004005)\n"},
                 {nullptr, long1023.c_str(), long1023 + " hr=E_FAIL (0x80004005)\n"},
                 {nullptr, long1024.c_str(), "hr=E_FAIL (0x80004005)\n"}};
    {
        CapturedDebugOutput out;
        DXTraceA(nullptr, 0, static_cast<HRESULT>(0x00000ABC), nullptr, FALSE);
        EXPECT_EQ(out.Text(), "hr=Unknown (0x00000abc)\n") << "an unknown code keeps its eight digits";
    }
    for (const auto& c : cases) {
        CapturedDebugOutput out;
        DXTraceA(c.file, 7, E_FAIL, c.message, FALSE);
        EXPECT_EQ(out.Text(), c.expected);
    }
}

TEST(DXTrace, CutsAnOverlongFileButStillWritesTheLine) {
    CapturedDebugOutput out;
    const std::string file(5000, 'f');
    DXTraceA(file.c_str(), 1, E_FAIL, "x", FALSE);
    const std::string& text = out.Text();
    // The file-and-line piece is bounded at 3000 characters, terminator included.
    EXPECT_EQ(text.find("x hr="), 2999u);
    EXPECT_EQ(text.substr(text.size() - 1), "\n");
}

}  // namespace
