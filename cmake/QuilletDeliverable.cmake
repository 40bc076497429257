# quillet_deliverable(<target> LIBRARY|PROGRAM
#                     OUTPUT_NAME <file name> DESCRIPTION <text>
#                     SOURCES <entry points, .def> RESOURCES <scripts>
#                     [RESOURCE_DEPENDS <files the scripts pull in>]
#                     [LINK <libraries>])
#
# Makes one of the four deliverables as a user installs it: optimised, the
# runtime linked in statically, a version resource of its own, and every
# deliverable in one folder (QUILLET_PRODUCT_DIR), since the add-in starts
# the agent and the options page starts the editor from their own folder.
# Debug information is never inside the file a user gets: with
# QUILLET_DEBUG_INFO it goes into <file>.debug beside it, named by a debug
# link; without it the file is stripped.
include_guard(GLOBAL)

set(QUILLET_PRODUCT_DIR ${CMAKE_BINARY_DIR}/product)

function(quillet_deliverable target kind)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "OUTPUT_NAME;DESCRIPTION"
                          "SOURCES;RESOURCES;RESOURCE_DEPENDS;LINK")
    if(kind STREQUAL "LIBRARY")
        add_library(${target} SHARED)
        set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
        set(QUILLET_FILE_TYPE VFT_DLL)
    elseif(kind STREQUAL "PROGRAM")
        add_executable(${target} WIN32)
        set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
        set(QUILLET_FILE_TYPE VFT_APP)
    else()
        message(FATAL_ERROR "quillet_deliverable: ${kind} is neither LIBRARY nor PROGRAM")
    endif()

    set(QUILLET_FILE_NAME ${arg_OUTPUT_NAME}${suffix})
    set(QUILLET_FILE_DESCRIPTION ${arg_DESCRIPTION})
    set(version_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Version.rc.in ${version_rc} @ONLY)

    target_sources(${target} PRIVATE ${arg_SOURCES} ${arg_RESOURCES} ${version_rc})
    target_link_libraries(${target} PRIVATE ${arg_LINK})
    if(arg_RESOURCE_DEPENDS)
        # windres does not see the files a script pulls in as binary resources.
        set_property(SOURCE ${arg_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS ${arg_RESOURCE_DEPENDS})
    endif()
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${arg_OUTPUT_NAME}
        RUNTIME_OUTPUT_DIRECTORY ${QUILLET_PRODUCT_DIR})
    quillet_manifest(${target} ${kind})
    if(kind STREQUAL "LIBRARY" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
        # The .def names the exports without their stdcall decoration.
        target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()

    if(QUILLET_DEBUG_INFO)
        set(file $<TARGET_FILE:${target}>)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
            COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${file}.debug ${file}
            COMMENT "Keeping ${QUILLET_FILE_NAME}'s debug information beside it"
            VERBATIM)
    else()
        target_link_options(${target} PRIVATE -s)
    endif()
endfunction()

# quillet_manifest(<target> LIBRARY|PROGRAM): the target's manifest, which
# asks for the common controls of version 6. A PROGRAM carries it as
# resource 1, the process's own, and says it scales its windows to the
# system's DPI itself (its pictures have larger forms), so Windows does not
# stretch them blurred. A LIBRARY, loaded into someone else's process,
# carries it as resource 2 (isolation aware): the loader binds the DLL's
# imports by it, and the class library activates it around every window
# and message loop of the DLL's own (classlib/win32/CActCtx.h); DPI
# awareness is the host process's to declare.
function(quillet_manifest target kind)
    get_target_property(QUILLET_MANIFEST_OF ${target} OUTPUT_NAME)
    if(NOT QUILLET_MANIFEST_OF)
        set(QUILLET_MANIFEST_OF ${target})
    endif()
    if(kind STREQUAL "LIBRARY")
        set(QUILLET_MANIFEST_ID 2)
        set(QUILLET_MANIFEST_NOTE "\n     Loaded into another process, it is activated around the DLL's own\n     windows.")
        set(QUILLET_MANIFEST_SETTINGS "")
    else()
        set(QUILLET_MANIFEST_ID 1)
        set(QUILLET_MANIFEST_NOTE "")
        set(QUILLET_MANIFEST_SETTINGS [=[

  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
    </windowsSettings>
  </application>]=])
    endif()
    set(QUILLET_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Manifest.xml.in ${QUILLET_MANIFEST_FILE} @ONLY)
    set(manifest_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-manifest.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Manifest.rc.in ${manifest_rc} @ONLY)
    set_property(SOURCE ${manifest_rc} APPEND PROPERTY OBJECT_DEPENDS ${QUILLET_MANIFEST_FILE})
    target_sources(${target} PRIVATE ${manifest_rc})
endfunction()

# quillet_typelib(<target> <idl> <tlb>): a type library compiled by widl for
# the target's word size, for a deliverable's TYPELIB resource. A library
# that imports the standard OLE library (importlib("stdole2.tlb")) finds it
# among Wine's own libraries.
function(quillet_typelib target idl tlb)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(triple x86_64-w64-mingw32)
        set(word --win64)
    else()
        set(triple i686-w64-mingw32)
        set(word --win32)
    endif()
    find_program(QUILLET_WIDL ${triple}-widl REQUIRED)
    find_path(QUILLET_STDOLE_DIR stdole2.tlb
              PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
                    /usr/lib/i386-linux-gnu/wine/i386-windows
                    /usr/lib/wine/x86_64-windows /usr/lib/wine/i386-windows
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(imports)
    if(QUILLET_STDOLE_DIR)
        set(imports -L ${QUILLET_STDOLE_DIR})
    endif()
    get_filename_component(name ${tlb} NAME)
    add_custom_command(
        OUTPUT ${tlb}
        COMMAND ${QUILLET_WIDL} ${word} ${imports} -t -o ${tlb} ${idl}
        DEPENDS ${idl}
        COMMENT "Compiling the type library ${name}"
        VERBATIM)
    add_custom_target(${target} DEPENDS ${tlb})
endfunction()
