# Installs the built library into a private prefix, then builds the consumer
# program twice: with plain compiler flags (-lkesra) and with find_package.
file(REMOVE_RECURSE ${WORK_DIR})
set(PREFIX ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
include(GNUInstallDirs)
set(LIBDIR ${PREFIX}/${CMAKE_INSTALL_LIBDIR})
if(NOT EXISTS ${LIBDIR}/libkesra.so)
  set(LIBDIR ${PREFIX}/lib)
endif()

run(${CXX} -std=c++17 ${SOURCE_DIR}/tests/consumer/consumer.cpp -I${PREFIX}/include/kesra
    -L${LIBDIR} -lkesra -Wl,-rpath,${LIBDIR} -o ${WORK_DIR}/consumer_plain)
run(${WORK_DIR}/consumer_plain)

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${PREFIX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
