# User identity and Exchange address resolution, against the stand-in MAPI
# provider that the tests register for mapi32 to load from beside them.
quillet_test(test_identity test_identity.cpp)
quillet_beside(test_identity mapistandin)
