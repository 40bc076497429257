# quillet_addin_test(name sources...): a test program of the add-in: it links
# the add-in library and carries QuillOff.dll's resources (all but the type
# library), so the add-in's strings, scripts and bitmaps load from the test
# program itself. Otherwise as quillet_test. Include this file from each
# area's .cmake that uses it.
include_guard(GLOBAL)

function(quillet_addin_test name)
    set(rc ${CMAKE_SOURCE_DIR}/resources/QuillOff/QuillOff.rc)
    add_executable(${name} ${ARGN} ${rc})
    target_link_libraries(${name} PRIVATE addin testsupport)
    # windres does not see the files the script pulls in as binary resources.
    file(GLOB pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/QuillOff/*.bmp
         ${CMAKE_SOURCE_DIR}/resources/QuillOff/*.png)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_SOURCE_DIR}/resources/QuillOff/QuillOff.rgs ${pictures})
    quillet_ctest(${name})
endfunction()
