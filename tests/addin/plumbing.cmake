# The add-in's plumbing (event sinks, command bars, buttons) in a library
# of its own, loaded by the Outlook stand-in's host as Outlook loads an
# add-in, so its resources and events cross module boundaries as they do
# for QuillOff.dll.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(plumbing_def ${CMAKE_CURRENT_SOURCE_DIR}/plumbing/PlumbingAddin-i686.def)
else()
    set(plumbing_def ${CMAKE_CURRENT_SOURCE_DIR}/plumbing/PlumbingAddin.def)
endif()
add_library(PlumbingAddin SHARED plumbing/PlumbingAddin.cpp ${plumbing_def}
            $<TARGET_OBJECTS:quilloff_resources>)
set_target_properties(PlumbingAddin PROPERTIES PREFIX "" OUTPUT_NAME PlumbingAddin)
target_link_libraries(PlumbingAddin PRIVATE addin)

quillet_test(test_plumbing test_plumbing.cpp)
target_link_libraries(test_plumbing PRIVATE outlookstandin)
add_dependencies(test_plumbing PlumbingAddin)
quillet_beside(test_plumbing outlookhost)
