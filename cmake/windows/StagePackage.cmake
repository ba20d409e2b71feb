# Lays out the files of the Windows installer and zip in STAGE (run by
# cmake/OmbrixWindowsPackage.cmake): the VST3 bundle, the tool, the Standalone
# application under its installed name (all three stripped), the licence and
# the README, both as Windows text (CR LF).
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${BUNDLE} DESTINATION ${STAGE})
file(COPY_FILE ${TOOL} ${STAGE}/ombrix.exe)
file(COPY_FILE ${STANDALONE} ${STAGE}/ombrix-standalone.exe)
# Shipped without the symbol tables (a third of each file).
foreach(binary ombrix.exe ombrix-standalone.exe Ombrix.vst3/Contents/x86_64-win/Ombrix.vst3)
  execute_process(COMMAND ${STRIP} --strip-unneeded ${STAGE}/${binary} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

function(windows_text source destination)
  file(READ ${source} text)
  if(ARGN STREQUAL "CONFIGURE")
    string(CONFIGURE "${text}" text @ONLY)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${destination} "${text}")
endfunction()
windows_text(${LICENCE} ${STAGE}/LICENSE.txt)
windows_text(${README} ${STAGE}/README.txt CONFIGURE)
