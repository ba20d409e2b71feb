# Warnings for our own code and the sanitizer switches, applied through an
# interface target so JUCE's sources keep their own flags.
add_library(ombrix_warnings INTERFACE)
target_compile_options(ombrix_warnings INTERFACE -Wall -Wextra)

add_library(ombrix_sanitizers INTERFACE)
if(OMBRIX_ASAN AND OMBRIX_TSAN)
  message(FATAL_ERROR "OMBRIX_ASAN and OMBRIX_TSAN cannot be combined")
endif()
if(OMBRIX_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(OMBRIX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Every framework-free static library is made the same way: all .cpp files of
# its folder, our warnings, the project root on the include path.
function(ombrix_add_static_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT sources)
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ombrix_warnings)
endfunction()
