quillet_test(test_service test_service.cpp test_wire.cpp)
# The wire's limits are tested at their edges (a silence of 1.5 s, uploads
# paced just fast enough): with other tests busy beside it the stand-in's
# pace is the machine's, not the test's, so this one runs alone.
set_tests_properties(test_service PROPERTIES RUN_SERIAL TRUE)
