# The sync command: its button, dialog and per-item worker, against the
# Outlook stand-in and the stand-in signature service.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_sync test_sync.cpp)
target_link_libraries(test_sync PRIVATE outlookstandin)
