# The send road: the step dialog that runs an interactive send and the send
# button with both of its branches, against the stand-in service and the
# Outlook stand-in. A recorder program stands in for the agent (a copy named
# inkProxy.exe, where the add-in looks for it) and for the browser.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

add_executable(recorder recorder.cpp)
target_link_libraries(recorder PRIVATE classlib)

quillet_addin_test(test_sendroad test_steps.cpp test_sendbtn.cpp SendRoadTest.cpp
                   ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)
target_link_libraries(test_sendroad PRIVATE outlookstandin)
quillet_beside(test_sendroad recorder)

set(sendroad_agent ${CMAKE_CURRENT_BINARY_DIR}/inkProxy${CMAKE_EXECUTABLE_SUFFIX})
add_custom_command(OUTPUT ${sendroad_agent}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:recorder> ${sendroad_agent}
    DEPENDS recorder)
add_custom_target(sendroad_agent DEPENDS ${sendroad_agent})
add_dependencies(test_sendroad sendroad_agent)
