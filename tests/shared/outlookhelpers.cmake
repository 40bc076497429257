# The launcher and the Outlook late-binding helpers, with mail body parts:
# a file per class, one program.
quillet_test(test_outlookhelpers test_dispatcher.cpp test_launcher.cpp test_bodypart.cpp
             ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)

# What the launcher starts in its tests: it reports how it was started.
add_executable(launchprobe launchprobe.cpp)
add_dependencies(test_outlookhelpers launchprobe)
