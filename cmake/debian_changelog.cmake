# Writes the Debian changelog of the package for the version in CMakeLists.txt, dated at the
# commit's time (see source_date_epoch.cmake), gzipped without a time stamp.
# usage: cmake -DSOURCE_DIR=... -DOUTPUT=.../changelog.Debian.gz -DVERSION=1.3.0-1
#              -DMAINTAINER="name <address>" -P debian_changelog.cmake
include("${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake")
ucac2_source_date_epoch(epoch "${SOURCE_DIR}")
if(epoch)
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(REGEX REPLACE "-[^-]*$" "" upstream_version "${VERSION}")
set(text "ucac2 (${VERSION}) unstable; urgency=medium

  * ucac2 ${upstream_version}; what it changes is in
    /usr/share/doc/ucac2/changelog.gz.

 -- ${MAINTAINER}  ${date}
")
# Rewritten only when it changes, so that a build with nothing new does nothing.
get_filename_component(plain "${OUTPUT}" NAME_WLE)
get_filename_component(dir "${OUTPUT}" DIRECTORY)
set(old "")
if(EXISTS "${dir}/${plain}")
  file(READ "${dir}/${plain}" old)
endif()
if(NOT old STREQUAL text OR NOT EXISTS "${OUTPUT}")
  file(WRITE "${dir}/${plain}" "${text}")
  execute_process(COMMAND gzip -9 -n -c "${dir}/${plain}" OUTPUT_FILE "${OUTPUT}"
    COMMAND_ERROR_IS_FATAL ANY)
endif()
