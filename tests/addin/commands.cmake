# Commands that meet: a send, a sync and a receipt import started while
# another runs, and the windows that own their dialogs, in the Outlook
# stand-in against the stand-in service.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_commands test_commands.cpp)
target_link_libraries(test_commands PRIVATE outlookstandin)
