quillet_test(test_receipts test_receipts.cpp)
