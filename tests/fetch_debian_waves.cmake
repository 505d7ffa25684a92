# Fetches real WAVE files into DEST with apt-get download and dpkg -x, once
# per build folder: alsa-utils' speaker-test voices (16-bit mono) and
# libpython3.11-testsuite's test/audiodata plucks (8, 16, 24 and 32 bits, with
# LIST chunks). Run by ctest as a fixture; the files are never committed.
#   cmake -DDEST=<folder> -P fetch_debian_waves.cmake
if(EXISTS "${DEST}/Front_Center.wav" AND EXISTS "${DEST}/pluck-pcm16.wav")
  return()
endif()
set(work "${DEST}.download")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}" "${DEST}")
foreach(package alsa-utils libpython3.11-testsuite)
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
file(GLOB waves "${work}/root/usr/share/sounds/alsa/*.wav"
                "${work}/root/usr/lib/python3.11/test/audiodata/pluck-pcm*.wav")
file(COPY ${waves} DESTINATION "${DEST}")
file(REMOVE_RECURSE "${work}")
