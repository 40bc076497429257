# The shared text handling in a process whose ANSI code page is UTF-8, as
# Windows' "Use Unicode UTF-8 for worldwide language support" makes every
# program's: the test program's own manifest asks for that code page.
quillet_test(test_utf8codepage test_utf8codepage.cpp utf8codepage.rc)
set_property(SOURCE utf8codepage.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/utf8codepage.manifest)
