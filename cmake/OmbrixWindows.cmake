# The Windows x64 build, cross-compiled with cmake/mingw-w64-x86_64.cmake:
# the static libraries that scripts/build-windows-deps builds, fully static
# programs (they import Windows system DLLs only), and wine as the emulator
# that runs the test programs (scripts/build-windows does all of it).
set(OMBRIX_WINDOWS_DEPS "" CACHE PATH "The prefix scripts/build-windows-deps prints")
if(NOT IS_DIRECTORY "${OMBRIX_WINDOWS_DEPS}/lib")
  message(FATAL_ERROR "OMBRIX_WINDOWS_DEPS must name the prefix that scripts/build-windows-deps prints")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${OMBRIX_WINDOWS_DEPS})
list(APPEND CMAKE_PREFIX_PATH ${OMBRIX_WINDOWS_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} "${OMBRIX_WINDOWS_DEPS}/lib/pkgconfig:/usr/${OMBRIX_MINGW_HOST}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The imported targets of pkg_check_modules leave out what only a static link
# needs (libsndfile's codecs, mpg123's -lshlwapi): take pkg-config --static's list.
macro(ombrix_static_package name)
  pkg_check_modules(${name} REQUIRED IMPORTED_TARGET GLOBAL ${ARGN})
  set_property(TARGET PkgConfig::${name} PROPERTY INTERFACE_LINK_LIBRARIES ${${name}_STATIC_LDFLAGS})
endmacro()

# Debian's JUCE: its CMake functions and its juceaide run on this machine.
file(GLOB juce_packages /usr/lib/*/cmake/JUCE-7.0.5)
list(GET juce_packages 0 juce_package)
set(JUCE_DIR ${juce_package} CACHE PATH "Debian's JUCE CMake package")

# JUCE's graphics module, wherever a target compiles it, meets the system's
# libjpeg the way the Windows headers declare "boolean".
function(ombrix_windows_juce_fixes)
  set(folders ${PROJECT_SOURCE_DIR}/plugin ${PROJECT_SOURCE_DIR}/tools)
  if(TARGET bench_analysis)
    list(APPEND folders ${PROJECT_SOURCE_DIR}/tools/bench)
  endif()
  set_property(SOURCE ${JUCE_MODULES_DIR}/juce_graphics/juce_graphics.cpp DIRECTORY ${folders}
    APPEND PROPERTY COMPILE_OPTIONS -include ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows/juce_jpeg_boolean.h)
endfunction()

# libsndfile opens UTF-16 paths (sf_wchar_open); FLAC's headers are for a static library.
# NOMINMAX and WIN32_LEAN_AND_MEAN with the values JUCE gives them itself (no
# redefinition warnings); JUCE has no DirectWrite with mingw (text goes
# through GDI), which it would otherwise warn about.
add_compile_definitions(ENABLE_SNDFILE_WINDOWS_PROTOTYPES=1 FLAC__NO_DLL UNICODE _UNICODE
  WIN32_LEAN_AND_MEAN=1 NOMINMAX= _WIN32_WINNT=0x0A00 JUCE_USE_DIRECTWRITE=0)
add_link_options(-static -static-libgcc -static-libstdc++)
# GCC keeps the Win64 stack 16-byte aligned yet spills AVX registers with
# aligned 32-byte moves; the assembler writes every vector move unaligned, so
# the run-time AVX paths cannot fault on a spill.
add_compile_options(-Wa,-muse-unaligned-vector-move)
# Programs get the 8 MiB main-thread stack they have on Linux (Windows gives
# 1 MiB; libvorbis' encoder alone needs more).
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -Wl,--stack,8388608")

# Test programs run under wine in a prefix of this build folder's own.
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
