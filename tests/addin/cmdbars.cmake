# The event sink base and the command bars with their buttons, against the
# Outlook stand-in's object model and Office command bars.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_eventsink test_eventsink.cpp)
target_link_libraries(test_eventsink PRIVATE outlookstandin)

quillet_addin_test(test_cmdbars test_cmdbars.cpp)
target_link_libraries(test_cmdbars PRIVATE outlookstandin)

# The SMTP proxy look-up goes through mapi32 to the stand-in provider, which
# the test registers from beside itself.
quillet_beside(test_eventsink mapistandin)
