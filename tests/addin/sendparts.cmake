# The send road's parts of the mail, against the Outlook stand-in: the
# receipt task a send leaves, with the mail's ".msg" copy.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_receipttask test_receipttask.cpp)
target_link_libraries(test_receipttask PRIVATE outlookstandin)
