# Runs the example generator into OUTPUT_DIR and fails unless it makes
# exactly the example files of EXAMPLES_DIR, byte for byte.
#   cmake -DGENERATOR=... -DEXAMPLES_DIR=... -DOUTPUT_DIR=... -P check_examples.cmake

file(REMOVE_RECURSE "${OUTPUT_DIR}")
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
execute_process(COMMAND "${GENERATOR}" "${OUTPUT_DIR}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_examples failed: ${status}")
endif()

file(GLOB generated RELATIVE "${OUTPUT_DIR}" "${OUTPUT_DIR}/*")
file(GLOB shipped RELATIVE "${EXAMPLES_DIR}" "${EXAMPLES_DIR}/*.mp" "${EXAMPLES_DIR}/*.sav")
list(SORT generated)
list(SORT shipped)
if(NOT generated STREQUAL shipped)
  message(FATAL_ERROR "The generator makes [${generated}] but examples/ holds [${shipped}]; "
                      "run make_examples on examples/ and remove files it no longer makes.")
endif()

foreach(name IN LISTS generated)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUTPUT_DIR}/${name}" "${EXAMPLES_DIR}/${name}"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "examples/${name} differs from what make_examples writes now; "
                        "regenerate it with make_examples examples")
  endif()
endforeach()
list(LENGTH generated count)
message(STATUS "${count} example files match the generator")
