# The time a build writes into its packages and the Debian changelog, so that two builds of
# one commit write the same: SOURCE_DATE_EPOCH when the caller sets it, else the time of the
# commit checked out, else the time `git archive` wrote into cmake/commit_time.txt.
# Empty when none is known (a copy of the sources without either); the current time stands in.
function(ucac2_source_date_epoch out source_dir)
  set(epoch "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  elseif(EXISTS "${source_dir}/.git")  # a folder, or a file in a worktree
    execute_process(COMMAND git -C "${source_dir}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  else()
    file(STRINGS "${source_dir}/cmake/commit_time.txt" epoch LIMIT_COUNT 1)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")  # also the unexpanded placeholder of a checkout
    set(epoch "")
  endif()
  set(${out} "${epoch}" PARENT_SCOPE)
endfunction()
