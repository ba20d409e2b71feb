# Cross-compiling for Windows x64 with Debian's mingw-w64 toolchain (the
# posix-threads variant, so std::thread and std::mutex work).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OMBRIX_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${OMBRIX_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OMBRIX_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${OMBRIX_MINGW_HOST}-windres)
set(CMAKE_AR ${OMBRIX_MINGW_HOST}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${OMBRIX_MINGW_HOST}-ranlib CACHE FILEPATH "")

# A -DCMAKE_FIND_ROOT_PATH=PREFIX names where the static libraries are.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${OMBRIX_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
