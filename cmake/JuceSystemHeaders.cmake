# JUCE's headers are included as system headers and its module sources are
# compiled with its own flags, so only our code is held to -Wall -Wextra.

# The include folders JUCE's modules add, as SYSTEM folders of target
# (PRIVATE, PUBLIC or INTERFACE as scope says).
function(ombrix_juce_system_includes target scope)
  get_target_property(dirs juce::juce_core INTERFACE_INCLUDE_DIRECTORIES)
  target_include_directories(${target} SYSTEM ${scope} ${dirs})
endfunction()

# Our warnings on our own sources of a target that also compiles JUCE.
function(ombrix_warn_own_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra")
endfunction()
