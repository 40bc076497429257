quillet_test(test_runner test_runner.cpp test_runner.rc)
