# Install rules and packages: both programs, their manual pages and the
# licence.
#
#   cmake --install build --prefix /usr/local
#   cd build && cpack                      # a .tar.gz and a .deb (a .zip for Windows)
#   cd build && cpack -G DEB               # one of them
#
# On POSIX systems the files go where Debian's policy wants them, so the .deb
# passes lintian: the manual pages and the changelog compressed with gzip at
# build time, the licence as a machine-readable copyright file. The Windows
# build puts everything in one plain folder, the manual pages rendered as HTML.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME "trove")
set(CPACK_PACKAGE_VENDOR "pintrove maintainers")
set(CPACK_PACKAGE_CONTACT "pintrove maintainers <maintainers@pintrove.invalid>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")

set(trove_pages pintrove pathtrove)
set(trove_made ${PROJECT_BINARY_DIR}/packaging)  # files made for the packages
set(trove_made_files)

# Makes OUTPUT at build time from INPUT: the command after them, given INPUT
# as its last argument, writes OUTPUT on its standard output.
function(make_packaged_file output input)
  add_custom_command(OUTPUT ${output}
    COMMAND ${ARGN} ${input} > ${output}
    DEPENDS ${input}
    VERBATIM)
  set(trove_made_files ${trove_made_files} ${output} PARENT_SCOPE)
endfunction()

if(WIN32)  # a cross build of the Windows programs: a .zip of one folder
  install(TARGETS pintrove pathtrove RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/windows/convert.cmd DESTINATION .)
  find_program(TROVE_MANDOC mandoc)
  if(TROVE_MANDOC)
    foreach(page IN LISTS trove_pages)
      make_packaged_file(${trove_made}/${page}.html ${PROJECT_SOURCE_DIR}/man/${page}.1
        ${TROVE_MANDOC} -T html)
      install(FILES ${trove_made}/${page}.html DESTINATION .)
    endforeach()
  else()
    message(WARNING "mandoc was not found, so the manual pages are left out of "
      "the Windows package: install mandoc (the Debian package of that name) "
      "and configure again.")
  endif()
else()
  install(TARGETS pintrove pathtrove RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # -n leaves the file's name and time out, so the same source always gives
  # the same bytes.
  find_program(TROVE_GZIP gzip REQUIRED)
  set(compress ${TROVE_GZIP} -9 -n -c)
  foreach(page IN LISTS trove_pages)
    make_packaged_file(${trove_made}/${page}.1.gz ${PROJECT_SOURCE_DIR}/man/${page}.1 ${compress})
    install(FILES ${trove_made}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  # The changelog of this native package, newest entry first: a new version
  # adds its entry at the top.
  string(JOIN "\n" changelog
    "trove (1.0.0) unstable; urgency=medium"
    ""
    "  * First release: pintrove converts waypoint files and pathtrove track"
    "    files to KML 2.0 documents."
    ""
    " -- ${CPACK_PACKAGE_CONTACT}  Mon, 07 Dec 2026 12:00:00 +0000"
    "")
  string(REGEX MATCH "^trove \\(([^)]+)\\)" newest "${changelog}")
  if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "cmake/install.cmake: the changelog has no entry for ${PROJECT_VERSION}")
  endif()

  # The licence as a machine-readable copyright file: the holder and the
  # terms taken from LICENSE, each line of the terms indented by a blank and
  # an empty line written as a dot.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" notice "${licence}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${licence}" "Permission is hereby granted" start)
  if(NOT notice OR start EQUAL -1)
    message(FATAL_ERROR "LICENSE does not hold the MIT licence's notice and terms")
  endif()
  string(SUBSTRING "${licence}" ${start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  string(JOIN "\n" copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    "Upstream-Name: trove"
    "Upstream-Contact: ${CPACK_PACKAGE_CONTACT}"
    ""
    "Files: *"
    "Copyright: ${holder}"
    "License: Expat"
    " ${terms}"
    "Comment: Expat is Debian's name for the licence commonly called the MIT"
    " licence; the source holds the same text in its file LICENSE."
    "")

  file(GENERATE OUTPUT ${trove_made}/changelog CONTENT "${changelog}")
  file(GENERATE OUTPUT ${trove_made}/copyright CONTENT "${copyright}")
  make_packaged_file(${trove_made}/changelog.gz ${trove_made}/changelog ${compress})
  install(FILES ${trove_made}/copyright ${trove_made}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})
endif()
file(MAKE_DIRECTORY ${trove_made})
add_custom_target(packaged_files ALL DEPENDS ${trove_made_files})

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
