# The add-in's self-registration: CRegMgr's keys over the Outlook versions,
# the registry-script runner, and regsvr32 on the real QuillOff.dll.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_registration test_registration.cpp)
add_dependencies(test_registration QuillOff)
target_compile_definitions(test_registration PRIVATE QUILLOFF_DLL_PATH="$<TARGET_FILE:QuillOff>")
