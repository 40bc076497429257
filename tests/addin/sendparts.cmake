# The send road's parts of the mail, against the Outlook stand-in: the
# recipients and attachments a send takes from the mail (Exchange users
# through the stand-in MAPI provider), the receipt task a send leaves, and
# the gateway plug-ins it tells (the sample gateway, registered from beside
# the test program).
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_receipttask test_receipttask.cpp)
target_link_libraries(test_receipttask PRIVATE outlookstandin)

quillet_addin_test(test_sendparts test_sendparts.cpp ${CMAKE_SOURCE_DIR}/tests/support/FakeDispatch.cpp)
target_link_libraries(test_sendparts PRIVATE outlookstandin)
quillet_beside(test_sendparts mapistandin)

quillet_addin_test(test_gateways test_gateways.cpp)
add_dependencies(test_gateways SampleGateway)
quillet_beside(test_gateways SampleGateway)
