# Installing both programs, their manual pages, the README and the licence, and the packages
# CPack makes of them: a Debian package on Linux, a .zip from the Windows build. Both packages
# are reproducible: their members' dates are the commit's (cpack_project.cmake), and what goes
# into them is written without time stamps.
include(GNUInstallDirs)

set(UCAC2_PACKAGE_MAINTAINER
  "ucac2 maintainers <maintainers@users.noreply.c-seed-a054cd44.example>"
  CACHE STRING "Maintainer named in the packages")

# The version of the Debian package: the project's, and the packaging's revision of it.
set(UCAC2_DEBIAN_REVISION 1)

if(WIN32)
  # A folder to unpack anywhere: the two executables beside a README and a licence that
  # Notepad shows line by line, so with CR LF line ends.
  install(TARGETS ucac2 ucac2db RUNTIME DESTINATION .)
  foreach(pair README.md:README.txt LICENSE:LICENSE.txt)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 target)
    file(READ ${PROJECT_SOURCE_DIR}/${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    # Written only when it changes; its line ends made CR LF on the way.
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/${target} CONTENT "${text}" @ONLY
         NEWLINE_STYLE CRLF)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${source})
    install(FILES ${PROJECT_BINARY_DIR}/${target} DESTINATION .)
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/sorted_zip.cmake)
else()
  install(TARGETS ucac2 ucac2db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian ships manual pages compressed, without a time stamp in the gzip header.
  set(pages)
  foreach(page ucac2.1 ucac2db.1)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${PROJECT_BINARY_DIR}/man/${page}.gz
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page})
    list(APPEND pages ${PROJECT_BINARY_DIR}/man/${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The licence in Debian's machine-readable copyright format, its text taken from LICENSE.
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licence)
  list(FILTER licence EXCLUDE REGEX "^(MIT License|Copyright .*)$")
  string(REGEX REPLACE "^;+" "" licence "${licence}")
  set(body "")
  foreach(line IN LISTS licence)  # indented one space; a blank line becomes " ."
    if(line STREQUAL "")
      set(line ".")
    endif()
    string(APPEND body "\n ${line}")
  endforeach()
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/copyright @ONLY CONTENT "\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ucac2

Files: *
Copyright: 2026 the ucac2 authors
License: Expat${body}
")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The changelogs: the project's, and the package's, which names the version and the date of
  # the commit and so is written at every build (only when it changes).
  set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  set(debian_changelog ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
  add_custom_target(changelogs ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${debian_changelog}
            -DVERSION=${PROJECT_VERSION}-${UCAC2_DEBIAN_REVISION}
            "-DMAINTAINER=${UCAC2_PACKAGE_MAINTAINER}"
            -P ${PROJECT_SOURCE_DIR}/cmake/debian_changelog.cmake
    DEPENDS ${changelog}
    BYPRODUCTS ${debian_changelog}
    VERBATIM)
  install(FILES ${changelog} ${debian_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ucac2)
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME ucac2)
set(CPACK_PACKAGE_VENDOR "ucac2 maintainers")
set(CPACK_PACKAGE_CONTACT "${UCAC2_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compiler of the UCAC2 star catalog for Orvane, and its checker")
set(CPACK_PACKAGE_DESCRIPTION "\
ucac2 turns the UCAC2 star catalog (288 zone files and 36 bright-star
supplement files) into the 24 zone files of the planetarium program Orvane,
in fixed memory. ucac2db checks a catalog before it is compiled, proves a
compiled database equal to its catalog, lists the stars of a region of the
sky and draws a map of the whole sky.")
set(CPACK_STRIP_FILES ON)
set(CPACK_UCAC2_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${UCAC2_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UCAC2_PACKAGE_MAINTAINER}")
# The C++ runtime is linked in; what remains (the C library) is found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
