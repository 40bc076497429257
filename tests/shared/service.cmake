quillet_test(test_service test_service.cpp test_wire.cpp)
# winsock2.h must come before windows.h, which the precompiled header holds.
set_source_files_properties(test_service.cpp PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
