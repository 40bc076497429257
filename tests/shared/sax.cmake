quillet_test(test_sax test_sax.cpp)
