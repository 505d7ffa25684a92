# Fetches the GIF and JPEG samples of golang-1.19-src (src/image/testdata) into
# DEST with apt-get download and dpkg -x, once per build folder. Run by ctest as
# the fixture of the decoder comparisons; the files are never committed.
#   cmake -DDEST=<folder> -P fetch_debian_images.cmake
if(EXISTS "${DEST}/video-001.jpeg" AND EXISTS "${DEST}/video-001.interlaced.gif")
  return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/fetch_debian_files.cmake")
fetch_debian_files("${DEST}" PACKAGES golang-1.19-src
  FILES /usr/share/go-1.19/src/image/testdata/*.gif /usr/share/go-1.19/src/image/testdata/*.jpeg)
