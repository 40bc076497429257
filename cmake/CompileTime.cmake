# quillet_compile_in_little_time(): how the tree keeps its build short, for
# every target at once; called at the end of the top CMakeLists, when every
# target exists. What ships is compiled exactly as before.
#
# Every C++ target uses one precompiled header, compiled once per
# architecture: the Windows headers nearly every source parses
# (precompiled/Windows.h), which were most of a source's compile time.
# -Winvalid-pch tells of a source whose flags do not match the header's (it
# then parses the header's text, slower but the same).
include_guard(GLOBAL)

function(quillet_compile_in_little_time)
    set(anchor ${CMAKE_BINARY_DIR}/precompiled.cpp)
    file(CONFIGURE OUTPUT ${anchor} CONTENT "// The precompiled header's own source.\n")
    add_library(quillet_pch STATIC ${anchor})
    target_precompile_headers(quillet_pch PRIVATE ${CMAKE_SOURCE_DIR}/cmake/precompiled/Windows.h)

    quillet_targets_below(${CMAKE_SOURCE_DIR} targets)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$"
           OR target MATCHES "^(quillet_pch|gtest|gmock)")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.(cpp|cc)$")
        if(NOT sources)
            continue()
        endif()
        target_precompile_headers(${target} REUSE_FROM quillet_pch)
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Winvalid-pch>)
    endforeach()
endfunction()

# The build-system targets of a folder and of every folder below it.
function(quillet_targets_below folder out)
    get_property(found DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(subfolder ${subfolders})
        quillet_targets_below(${subfolder} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()
