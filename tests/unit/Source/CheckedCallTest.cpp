#include <gtest/gtest.h>

#include "CheckedCall.h"
#include "TestSupport.h"

namespace {

int g_calls = 0;

HRESULT Fails(HRESULT hr) {
    ++g_calls;
    return hr;
}

TEST(CheckedCall, FailureTracesFileLineResultAndTheCallAsWritten) {
    VorelTest::CapturedDebugOutput out;
    g_calls = 0;
    const int line = __LINE__ + 1;
    const HRESULT hr = CHECKED(Fails(static_cast<HRESULT>(0x88760868)));
    EXPECT_EQ(hr, static_cast<HRESULT>(0x88760868));
    EXPECT_EQ(g_calls, 1) << "the call runs once";
    EXPECT_EQ(CHECKED(Fails(S_FALSE)), S_FALSE) << "a success";
    EXPECT_EQ(out.Text(),
              "./tests/unit/Source/CheckedCallTest.cpp(" + std::to_string(line) +
                  "): Fails(static_cast<HRESULT>(0x88760868)) hr=D3DERR_DEVICELOST (0x88760868)\n")
        << "one line for the failure, none for the success";
}

}  // namespace
