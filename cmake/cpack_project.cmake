# Read by cpack before it makes a package: the time of the commit becomes SOURCE_DATE_EPOCH,
# to which cpack clamps every member's date, so that a package depends on the commit alone
# and not on when or where it was built.
include("${CPACK_UCAC2_SOURCE_DIR}/cmake/source_date_epoch.cmake")
ucac2_source_date_epoch(ucac2_epoch "${CPACK_UCAC2_SOURCE_DIR}")
if(ucac2_epoch)
  set(ENV{SOURCE_DATE_EPOCH} "${ucac2_epoch}")
endif()
