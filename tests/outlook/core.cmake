# The stand-in's own dispatch and event rules, which every add-in test relies on.
quillet_test(test_standin_core test_standin_core.cpp)
target_link_libraries(test_standin_core PRIVATE outlookstandin)
