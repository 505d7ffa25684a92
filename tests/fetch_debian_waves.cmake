# Fetches real WAVE files into DEST with apt-get download and dpkg -x, once
# per build folder: alsa-utils' speaker-test voices (16-bit mono) and
# libpython3.11-testsuite's test/audiodata plucks (8, 16, 24 and 32 bits, with
# LIST chunks). Run by ctest as a fixture; the files are never committed.
#   cmake -DDEST=<folder> -P fetch_debian_waves.cmake
if(EXISTS "${DEST}/Front_Center.wav" AND EXISTS "${DEST}/pluck-pcm16.wav")
  return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/fetch_debian_files.cmake")
fetch_debian_files("${DEST}" PACKAGES alsa-utils libpython3.11-testsuite
  FILES /usr/share/sounds/alsa/*.wav /usr/lib/python3.11/test/audiodata/pluck-pcm*.wav)
