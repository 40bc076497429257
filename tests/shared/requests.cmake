# The signature-request operations, sent at once and queued for a broadcast,
# against the stand-in service; attachments and mail items are faked.
quillet_test(test_requests test_requests.cpp ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)
