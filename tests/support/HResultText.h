// How the tests show an HRESULT: in hex with its name, "0x80004005 (E_FAIL)",
// so a failing comparison says what came back without a look-up.
//
//     EXPECT_HR(S_OK, sink->Connect(source));
//     EXPECT_HR(c.expected, hr) << c.what;
//
// Names cover the codes the system and its stand-ins answer with (a Win32
// code by its ERROR_ name); another shows as a failure or success with its
// facility and code.
#pragma once

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

std::string HResultText(HRESULT hr);

// The comparison behind EXPECT_HR and ASSERT_HR.
::testing::AssertionResult HResultsEqual(const char* expectedText, const char* actualText,
                                         HRESULT expected, HRESULT actual);

// Spelled out rather than through EXPECT_PRED_FORMAT2, which would show the
// arguments with their macros expanded ("((HRESULT)0x80004005)").
#define EXPECT_HR(expected, actual)                                                                \
    GTEST_ASSERT_(HResultsEqual(#expected, #actual, (expected), (actual)), GTEST_NONFATAL_FAILURE_)
#define ASSERT_HR(expected, actual)                                                                \
    GTEST_ASSERT_(HResultsEqual(#expected, #actual, (expected), (actual)), GTEST_FATAL_FAILURE_)
