# The stand-in's Office command bars, as the add-in's command-bar code relies on them.
quillet_test(test_office test_office.cpp)
target_link_libraries(test_office PRIVATE outlookstandin)
