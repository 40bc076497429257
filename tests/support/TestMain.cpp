// The test programs run in a single-threaded apartment, as the system's own
// code does on its user-interface threads.
#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = RUN_ALL_TESTS();
    if (SUCCEEDED(hr))
        CoUninitialize();
    return result;
}
