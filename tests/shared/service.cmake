quillet_test(test_service test_service.cpp)
