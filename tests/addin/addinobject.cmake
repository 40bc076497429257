# The add-in object: in process against the stand-in's objects, and as
# QuillOff.dll itself registered and loaded by the Outlook stand-in's host.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_addinobject test_addinobject.cpp
                   ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)
target_link_libraries(test_addinobject PRIVATE outlookstandin)
add_dependencies(test_addinobject QuillOff)
target_compile_definitions(test_addinobject PRIVATE QUILLOFF_DLL_PATH="$<TARGET_FILE:QuillOff>")
quillet_beside(test_addinobject outlookhost)
