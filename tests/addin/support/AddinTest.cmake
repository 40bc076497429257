# quillet_addin_test(name sources...): a test program of the add-in: it links
# the add-in library and carries QuillOff.dll's resources (all but the type
# library), so the add-in's strings, scripts and bitmaps load from the test
# program itself. Otherwise as quillet_test. Include this file from each
# area's .cmake that uses it.
include_guard(GLOBAL)

function(quillet_addin_test name)
    add_executable(${name} ${ARGN} $<TARGET_OBJECTS:quilloff_resources>)
    target_link_libraries(${name} PRIVATE addin testsupport)
    quillet_ctest(${name})
endfunction()
