# The host program: it loads a registered COM add-in as Outlook does and
# plays a script against it. The tests run it with a sample add-in from
# beside themselves.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(sampleaddin_def ${CMAKE_CURRENT_SOURCE_DIR}/sampleaddin/SampleAddin-i686.def)
else()
    set(sampleaddin_def ${CMAKE_CURRENT_SOURCE_DIR}/sampleaddin/SampleAddin.def)
endif()
add_library(SampleAddin SHARED sampleaddin/SampleAddin.cpp ${sampleaddin_def})
set_target_properties(SampleAddin PROPERTIES PREFIX "" OUTPUT_NAME SampleAddin)
target_link_libraries(SampleAddin PRIVATE shared)

quillet_test(test_outlookhost test_outlookhost.cpp)
target_link_libraries(test_outlookhost PRIVATE outlookstandin)
add_dependencies(test_outlookhost SampleAddin)
quillet_beside(test_outlookhost outlookhost)
