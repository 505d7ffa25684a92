# Installs the built library into a private prefix (not the configured one),
# then builds the consumer program twice from there: with the flags that
# pkg-config gives and with find_package.
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

# pkg-config reads the installed kesra.pc, as a user's Makefile would; its
# flags alone must build the program and let it find the library.
set(ENV{PKG_CONFIG_PATH} ${LIBDIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs kesra OUTPUT_VARIABLE flags
                RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT flags MATCHES "-I${PREFIX}/")
  message(FATAL_ERROR "pkg-config kesra gives '${flags}', not the prefix ${PREFIX}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} -std=c++17 ${SOURCE_DIR}/tests/consumer/consumer.cpp ${flags} -o ${WORK_DIR}/consumer_pkgconfig)
run(${WORK_DIR}/consumer_pkgconfig)

if(NOT EXISTS ${PREFIX}/${CMAKE_INSTALL_BINDIR}/kesra-pack)
  message(FATAL_ERROR "kesra-pack is not installed in ${PREFIX}/${CMAKE_INSTALL_BINDIR}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${PREFIX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
