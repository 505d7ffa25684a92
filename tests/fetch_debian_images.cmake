# Fetches the GIF and JPEG samples of golang-1.19-src (src/image/testdata) into
# DEST with apt-get download and dpkg -x, once per build folder. Run by ctest as
# the fixture of the decoder comparisons; the files are never committed.
#   cmake -DDEST=<folder> -P fetch_debian_images.cmake
if(EXISTS "${DEST}/video-001.jpeg" AND EXISTS "${DEST}/video-001.interlaced.gif")
  return()
endif()
set(work "${DEST}.download")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}" "${DEST}")
execute_process(COMMAND apt-get download golang-1.19-src WORKING_DIRECTORY "${work}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
file(GLOB deb "${work}/golang-1.19-src_*.deb")
if(NOT rc EQUAL 0 OR NOT deb)
  message(FATAL_ERROR "apt-get download golang-1.19-src failed (${rc})")
endif()
execute_process(COMMAND dpkg -x ${deb} "${work}/root" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg -x ${deb} failed")
endif()
file(GLOB samples "${work}/root/usr/share/go-1.19/src/image/testdata/*.gif"
                  "${work}/root/usr/share/go-1.19/src/image/testdata/*.jpeg")
file(COPY ${samples} DESTINATION "${DEST}")
file(REMOVE_RECURSE "${work}")
