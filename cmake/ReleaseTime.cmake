# The release time: the one moment that the entries of a package and the link time of
# the packaged Windows program show, so that packaging one commit twice gives the same
# bytes. SOURCE_DATE_EPOCH (seconds since 1970, UTC) when the builder sets it, as for
# sources without their git history; else the time of the commit checked out in
# <source_dir>. ZIP cannot hold times before 1980, so earlier ones become 1980-01-01.
function(vud_release_time result source_dir)
  set(zip_epoch 315532800)
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(time "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT time MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${time}', not a count of seconds since 1970")
    endif()
  else()
    # Sources unpacked inside some other repository must not take its time.
    execute_process(
      COMMAND git -C "${source_dir}" rev-parse --show-toplevel
      RESULT_VARIABLE status OUTPUT_VARIABLE top ERROR_VARIABLE errors
      OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${source_dir}" source_dir)
    if(status EQUAL 0 AND top STREQUAL source_dir)
      execute_process(
        COMMAND git -C "${source_dir}" log -1 --format=%ct
        RESULT_VARIABLE status OUTPUT_VARIABLE time ERROR_VARIABLE errors
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    else()
      set(errors "${source_dir} is not the top of a git clone")
    endif()
    if(NOT status EQUAL 0 OR NOT time MATCHES "^[0-9]+$")
      string(STRIP "${errors}" errors)
      message(WARNING "No commit time for the package entries (${errors}): they get "
                      "1980-01-01. Set SOURCE_DATE_EPOCH to the release's commit time.")
      set(time ${zip_epoch})
    endif()
  endif()
  if(time LESS zip_epoch)
    set(time ${zip_epoch})
  endif()
  set(${result} ${time} PARENT_SCOPE)
endfunction()
