# Install rules and packages: both programs and their manual pages.
#
#   cmake --install build --prefix /usr/local
#   cd build && cpack                      # a .tar.gz and a .deb (a .zip for Windows)
#   cd build && cpack -G DEB               # one of them

include(GNUInstallDirs)

install(TARGETS pintrove pathtrove RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/man/pintrove.1
  ${PROJECT_SOURCE_DIR}/man/pathtrove.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME "trove")
set(CPACK_PACKAGE_VENDOR "pintrove maintainers")
set(CPACK_PACKAGE_CONTACT "pintrove maintainers <maintainers@pintrove.invalid>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "convert waypoint and track files to KML documents")
# One paragraph, wrapped as a Debian control file wants its long description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Two command-line converters that turn positions kept as comma-separated"
  "text into KML 2.0 documents, the XML format that virtual-globe viewers"
  "and GIS tools read: pintrove turns a waypoint file (.wpt) into a folder"
  "of point markers, pathtrove turns a track file (.plt) into one line"
  "through all track points. Both work in one pass, in constant memory.")
if(WIN32)  # a cross build of the Windows programs
  set(CPACK_GENERATOR "ZIP")
else()
  set(CPACK_GENERATOR "TGZ;DEB")
endif()
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

include(CPack)
