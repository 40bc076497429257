# User identity and Exchange address resolution, against the stand-in MAPI
# provider that the test registers for mapi32 to load.
quillet_test(test_identity test_identity.cpp)
add_dependencies(test_identity mapistandin)
# The test registers the provider from its own folder.
add_custom_command(TARGET test_identity POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:mapistandin>
            $<TARGET_FILE_DIR:test_identity>)
