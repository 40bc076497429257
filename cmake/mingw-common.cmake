# The -posix compilers: GoogleTest needs std::mutex and std::thread.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# tools/wine runs the Wine this machine can run: 64-bit Wine alone where the
# kernel runs no 32-bit program.
get_filename_component(QUILLET_TOOLS ${CMAKE_CURRENT_LIST_DIR}/../tools ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLET_TOOLS}/wine)
