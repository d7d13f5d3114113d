# Run by cpack after it writes the Windows zip: writes the zip again with its members in
# sorted order (cpack adds them in the order the folder lists them, which differs between
# file systems) and its local times in UTC (a zip's dates are local times), each dated at the
# commit's time (cpack_project.cmake sets SOURCE_DATE_EPOCH).
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(dir "${zip}" DIRECTORY)
  set(unpacked "${dir}/sorted_zip")
  file(REMOVE_RECURSE "${unpacked}")
  file(MAKE_DIRECTORY "${unpacked}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${zip}"
    WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE members RELATIVE "${unpacked}" "${unpacked}/*")  # sorted
  file(REMOVE "${zip}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0
      ${CMAKE_COMMAND} -E tar cf "${zip}" --format=zip -- ${members}
    WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${unpacked}")
endforeach()
