# What a Windows user downloads, beside each other in the build folder:
#   Ombrix-VERSION-win64-setup.exe  the installer (NSIS, cmake/windows/ombrix-installer.nsi)
#   Ombrix-VERSION-win64.zip        the same files, for installing by hand
# Both are made from one staged folder, package/Ombrix-VERSION-win64/:
# Ombrix.vst3, ombrix.exe, ombrix-standalone.exe (the Standalone application;
# "Ombrix.exe" would be the same file name as the tool's on Windows), the
# licence and a README.
find_program(OMBRIX_MAKENSIS makensis REQUIRED)
set(ombrix_package_name "Ombrix-${PROJECT_VERSION}-win64")
set(OMBRIX_PACKAGE_STAGE "${CMAKE_BINARY_DIR}/package/${ombrix_package_name}" CACHE INTERNAL "")
set(OMBRIX_INSTALLER "${CMAKE_BINARY_DIR}/${ombrix_package_name}-setup.exe" CACHE INTERNAL "")
set(OMBRIX_ZIP "${CMAKE_BINARY_DIR}/${ombrix_package_name}.zip" CACHE INTERNAL "")
set(ombrix_licence /usr/share/common-licenses/GPL-3)
set(ombrix_package_sources ${PROJECT_SOURCE_DIR}/cmake/windows/ombrix-installer.nsi
  ${PROJECT_SOURCE_DIR}/cmake/windows/README.txt ${PROJECT_SOURCE_DIR}/cmake/windows/StagePackage.cmake)

add_custom_command(OUTPUT ${OMBRIX_INSTALLER} ${OMBRIX_ZIP}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${OMBRIX_PACKAGE_STAGE} -DVERSION=${PROJECT_VERSION}
    -DBUNDLE=${OMBRIX_VST3_BUNDLE} -DTOOL=$<TARGET_FILE:ombrix> -DSTANDALONE=$<TARGET_FILE:Ombrix_Standalone>
    -DSTRIP=${CMAKE_STRIP} -DLICENCE=${ombrix_licence} -DREADME=${PROJECT_SOURCE_DIR}/cmake/windows/README.txt
    -P ${PROJECT_SOURCE_DIR}/cmake/windows/StagePackage.cmake
  COMMAND ${OMBRIX_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSTAGE=${OMBRIX_PACKAGE_STAGE}
    -DOUTFILE=${OMBRIX_INSTALLER} ${PROJECT_SOURCE_DIR}/cmake/windows/ombrix-installer.nsi
  COMMAND ${CMAKE_COMMAND} -E rm -f ${OMBRIX_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
    ${CMAKE_COMMAND} -E tar cf ${OMBRIX_ZIP} --format=zip ${ombrix_package_name}
  DEPENDS Ombrix_VST3 Ombrix_Standalone ombrix ${ombrix_package_sources} ${ombrix_licence}
  COMMENT "Packaging ${ombrix_package_name}: the installer and the zip"
  VERBATIM)
add_custom_target(ombrix_package ALL DEPENDS ${OMBRIX_INSTALLER} ${OMBRIX_ZIP})
