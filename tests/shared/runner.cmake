quillet_test(test_runner test_runner.cpp test_steppump.cpp test_runner.rc)
# The login looks the user up through the stand-in MAPI provider.
quillet_beside(test_runner mapistandin)
