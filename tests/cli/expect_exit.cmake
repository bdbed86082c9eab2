# Runs `PROGRAM read` and fails unless it ends with EXPECTED_EXIT, prints
# nothing on stdout and names the Windows registry on stderr.
execute_process(COMMAND ${PROGRAM} read RESULT_VARIABLE result ERROR_VARIABLE error
                OUTPUT_VARIABLE output)
if(NOT result EQUAL EXPECTED_EXIT)
  message(FATAL_ERROR "exit ${result}, expected ${EXPECTED_EXIT}: ${error}")
endif()
if(NOT error MATCHES "Windows registry" OR NOT output STREQUAL "")
  message(FATAL_ERROR "unexpected output: '${output}' / '${error}'")
endif()
