# Installing both programs, their manual pages and the README, and the packages CPack makes of
# them: a Debian package on Linux, a .zip from the Windows build.
include(GNUInstallDirs)

set(UCAC2_PACKAGE_MAINTAINER
  "ucac2 maintainers <maintainers@users.noreply.c-seed-a054cd44.example>"
  CACHE STRING "Maintainer named in the packages")

if(WIN32)
  # A folder to unpack anywhere: the two executables beside a README that Notepad shows
  # line by line, so with CR LF line ends.
  install(TARGETS ucac2 ucac2db RUNTIME DESTINATION .)
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\r\n" "\n" readme "${readme}")
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
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
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UCAC2_PACKAGE_MAINTAINER}")
# The C++ runtime is linked in; what remains (the C library) is found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
