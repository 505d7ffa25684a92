# Runs navdemo --frames twice into two folders and checks the outputs.
# -DNAVDEMO=<exe> -DDIR=<work folder> -DFRAMES=<count> -DCHECK=repeat|moves
#   repeat: the second run writes the same bytes as the first;
#   moves:  the first and last frames differ (the view moved).
# A missing output fails the check.
foreach(run a b)
  file(REMOVE_RECURSE ${DIR}/${run})
  execute_process(COMMAND ${NAVDEMO} --frames ${FRAMES} --out ${DIR}/${run} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "navdemo --frames ${FRAMES} --out ${DIR}/${run} failed: ${status}")
  endif()
  foreach(file frame_first.png frame_last.png frames_sheet.png)
    if(NOT EXISTS ${DIR}/${run}/${file})
      message(FATAL_ERROR "navdemo wrote no ${DIR}/${run}/${file}")
    endif()
  endforeach()
  if(CHECK STREQUAL "moves")
    break()
  endif()
endforeach()

function(compare left right expect_same)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${left} ${right} RESULT_VARIABLE differ)
  if(expect_same AND NOT differ EQUAL 0)
    message(FATAL_ERROR "${left} and ${right} differ")
  elseif(NOT expect_same AND differ EQUAL 0)
    message(FATAL_ERROR "${left} and ${right} are the same")
  endif()
endfunction()

if(CHECK STREQUAL "repeat")
  foreach(file frame_first.png frame_last.png frames_sheet.png)
    compare(${DIR}/a/${file} ${DIR}/b/${file} TRUE)
  endforeach()
elseif(CHECK STREQUAL "moves")
  compare(${DIR}/a/frame_first.png ${DIR}/a/frame_last.png FALSE)
else()
  message(FATAL_ERROR "CHECK must be repeat or moves, not '${CHECK}'")
endif()
