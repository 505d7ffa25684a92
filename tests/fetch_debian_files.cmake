# fetch_debian_files(DEST PACKAGES pkg... FILES glob...): downloads the
# packages with apt-get download, unpacks them with dpkg -x and copies the
# files the globs name (paths inside the packages, from /) into DEST. Used
# by the fetch_debian_*.cmake fixtures; a failure stops the script.
function(fetch_debian_files dest)
  cmake_parse_arguments(PARSE_ARGV 1 fetch "" "" "PACKAGES;FILES")
  set(work "${dest}.download")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}" "${dest}")
  foreach(package ${fetch_PACKAGES})
    execute_process(COMMAND apt-get download ${package} WORKING_DIRECTORY "${work}"
                    RESULT_VARIABLE rc OUTPUT_QUIET)
    file(GLOB deb "${work}/${package}_*.deb")
    if(NOT rc EQUAL 0 OR NOT deb)
      message(FATAL_ERROR "apt-get download ${package} failed (${rc})")
    endif()
    execute_process(COMMAND dpkg -x ${deb} "${work}/root" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dpkg -x ${deb} failed")
    endif()
  endforeach()
  list(TRANSFORM fetch_FILES PREPEND "${work}/root")
  file(GLOB found ${fetch_FILES})
  file(COPY ${found} DESTINATION "${dest}")
  file(REMOVE_RECURSE "${work}")
endfunction()
