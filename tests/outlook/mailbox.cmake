# The Outlook stand-in's mailbox: folders, items, recipients, attachments,
# user properties, the mailbox file and the ".msg" stand-in.
quillet_test(test_mailbox ${CMAKE_CURRENT_LIST_DIR}/test_mailbox.cpp)
target_link_libraries(test_mailbox PRIVATE outlookstandin)
