# Runs `PROGRAM read` and fails unless it ends with EXPECTED_EXIT, prints
# nothing on stdout and says why in one sentence on stderr (here, with no
# engraver on the bus, or no USB at all, there is none to find).
execute_process(COMMAND ${PROGRAM} read RESULT_VARIABLE result ERROR_VARIABLE error
                OUTPUT_VARIABLE output)
if(NOT result EQUAL EXPECTED_EXIT)
  message(FATAL_ERROR "exit ${result}, expected ${EXPECTED_EXIT}: ${error}")
endif()
if(NOT error MATCHES "^[^\n]*engraver[^\n]*\\.\n$" OR NOT output STREQUAL "")
  message(FATAL_ERROR "unexpected output: '${output}' / '${error}'")
endif()
