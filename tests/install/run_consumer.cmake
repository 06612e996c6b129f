# Script mode: install, configure the consumer, build it and run it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

set(flags "")
if(SANITIZE STREQUAL "address")
  set(flags "-fsanitize=address,undefined")
elseif(SANITIZE STREQUAL "thread")
  set(flags "-fsanitize=thread")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${flags}"
    "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

# The formats library, where it was built: the same package, its own target.
if(FORMATS_CONSUMER_DIR)
  run(${CMAKE_COMMAND} -S ${FORMATS_CONSUMER_DIR} -B ${WORK_DIR}/build-formats -G ${GENERATOR}
      -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${flags}"
      "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build-formats)
  run(${WORK_DIR}/build-formats/formats_consumer)
endif()

# Only the public headers are installed: the umbrella headers and what they
# include. A stage header the umbrella does not reach must not be there.
foreach(internal engine/pixel_stages.h engine/fast_process.h display/isolation_stage.h)
  if(EXISTS ${prefix}/include/colorcorrect/${internal})
    message(FATAL_ERROR "internal header installed: colorcorrect/${internal}")
  endif()
endforeach()

# pkg-config, where the machine has it.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pcfile ${prefix}/*/colorcorrect.pc)
  get_filename_component(pcdir "${pcfile}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pcdir})
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs colorcorrect
    OUTPUT_VARIABLE pcflags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know colorcorrect")
  endif()
  separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
  separate_arguments(sflags UNIX_COMMAND "${flags}")
  run(c++ ${sflags} ${CONSUMER_DIR}/consumer.cpp ${pcflags} -o ${WORK_DIR}/consumer_pc)
  get_filename_component(libdir "${pcdir}" DIRECTORY)
  set(ENV{LD_LIBRARY_PATH} ${libdir})
  run(${WORK_DIR}/consumer_pc)

  if(FORMATS_CONSUMER_DIR)
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs colorcorrect-formats
      OUTPUT_VARIABLE pcflags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "pkg-config does not know colorcorrect-formats")
    endif()
    separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
    run(c++ ${sflags} ${FORMATS_CONSUMER_DIR}/formats_consumer.cpp ${pcflags}
        -o ${WORK_DIR}/formats_consumer_pc)
    run(${WORK_DIR}/formats_consumer_pc)
  endif()
endif()
