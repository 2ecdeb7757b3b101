# Installs a built tree into WORK_DIR/prefix, runs an installed program, and
# configures, builds and runs the consumer project against that prefix.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_SOURCE_DIR=... -DEXAMPLE_FILE=...
#         -DGENERATOR=... -DCXX_COMPILER=... [-DBUILD_TYPE=...] [-DEXTRA_FLAGS=...]
#         -P run_consumer.cmake

function(run_step description)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${description} failed (${status}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output text)
  string(FIND "${step_output}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "Expected \"${text}\" in:\n${step_output}")
  endif()
endfunction()

set(prefix "${WORK_DIR}/prefix")
set(consumer_build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${WORK_DIR}")

run_step("Installing" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

foreach(header MorvelUtil.h civ2rules.h civ2map.h civ2sav.h)
  if(NOT EXISTS "${prefix}/include/maplib/${header}")
    message(FATAL_ERROR "include/maplib/${header} was not installed")
  endif()
endforeach()

# The city stands at 11,7 of this file, so its own rating is lowered (15 - 8).
run_step("Installed ombrel" "${prefix}/bin/ombrel" "${EXAMPLE_FILE}" 11 7)
expect_output("Fertility is: 7")

run_step("Configuring the consumer"
  ${CMAKE_COMMAND} -S "${CONSUMER_SOURCE_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
  "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
  "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
  "-DCMAKE_PREFIX_PATH=${prefix}"
  "-DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF"
  "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run_step("Building the consumer" ${CMAKE_COMMAND} --build "${consumer_build}")
run_step("Running the consumer" "${consumer_build}/consumer" "${EXAMPLE_FILE}" 11 7)
expect_output("Loaded 40 x 24, fertility at 11,7: 7")
expect_output("New ocean tile rates 10")
