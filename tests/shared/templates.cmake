quillet_test(test_templates test_templates.cpp)
