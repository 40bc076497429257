quillet_test(test_service test_service.cpp test_wire.cpp)
