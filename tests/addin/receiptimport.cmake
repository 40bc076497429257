# The receipt import: the agent's receipt files made into receipt tasks,
# against the Outlook stand-in.
include(${CMAKE_CURRENT_LIST_DIR}/support/AddinTest.cmake)

quillet_addin_test(test_receiptimport test_receiptimport.cpp)
target_link_libraries(test_receiptimport PRIVATE outlookstandin)
