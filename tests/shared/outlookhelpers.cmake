# The launcher and the Outlook late-binding helpers, with mail body parts.
quillet_test(test_outlookhelpers test_outlookhelpers.cpp ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)

# What the launcher starts in its tests: it reports how it was started.
add_executable(launchprobe launchprobe.cpp)
add_dependencies(test_outlookhelpers launchprobe)
