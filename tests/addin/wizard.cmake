# The send wizard and its editable lists: the sheet and its pages driven by
# the scripted user, the in-cell editors, the value checks and the pattern
# matcher.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_wizard test_wizard.cpp)
quillet_addin_test(test_listctrls test_listctrls.cpp test_listctrls.rc)
