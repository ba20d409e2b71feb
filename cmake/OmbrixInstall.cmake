# Installing: "cmake --install build" puts the plug-ins and programs into the
# user's own folders (the default prefix is ~/.local): Ombrix.vst3 into
# ~/.vst3, Ombrix.lv2 into ~/.lv2, ombrix and the Standalone application
# into ~/.local/bin. Any other prefix (--prefix /usr, and the Debian package)
# gives PREFIX/lib/vst3, PREFIX/lib/lv2 and PREFIX/bin.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix (per user by default)" FORCE)
endif()

# The prefix may change at install time (--prefix), so the plug-in folders
# are chosen then, relative to it.
install(CODE [[
  if(CMAKE_INSTALL_PREFIX MATCHES "/\\.local/?$")
    set(OMBRIX_VST3_DESTINATION "../.vst3")
    set(OMBRIX_LV2_DESTINATION "../.lv2")
  else()
    set(OMBRIX_VST3_DESTINATION "lib/vst3")
    set(OMBRIX_LV2_DESTINATION "lib/lv2")
  endif()
]])
install(DIRECTORY "${OMBRIX_VST3_BUNDLE}" DESTINATION "\${OMBRIX_VST3_DESTINATION}" USE_SOURCE_PERMISSIONS)
install(DIRECTORY "${OMBRIX_LV2_BUNDLE}" DESTINATION "\${OMBRIX_LV2_DESTINATION}" USE_SOURCE_PERMISSIONS)
install(TARGETS ombrix RUNTIME DESTINATION bin)
install(PROGRAMS "${OMBRIX_STANDALONE}" DESTINATION bin RENAME ombrix-standalone)

# The Debian package: cpack -G DEB in the build folder writes
# ombrix_VERSION_ARCH.deb with the system folders above.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrix)
set(CPACK_PACKAGE_VENDOR "Kestrune")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tonal balance meter and corrector, loudness and true-peak meter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Ombrix measures the tonal balance of audio against a target curve and, on\n request, corrects it with a six-section equaliser; it also meters loudness\n (EBU R 128) and true peak. This package holds the plug-in as VST3 and LV2,\n a Standalone application (ombrix-standalone) and the ombrix command-line\n tool, which analyses, learns targets from and renders audio files.")
set(CPACK_PACKAGE_CONTACT "Kestrune <https://kestrune.com/ombrix>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrune")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestrune.com/ombrix")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_STRIP_FILES ON)
include(CPack)
