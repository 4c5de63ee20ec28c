# Runs kelvane-run on a script and page and compares standard output exactly.
execute_process(
  COMMAND ${PROGRAM} --page ${PAGE} ${SCRIPT}
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvane-run exited with ${status}: ${errors}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "output differs.\n--- expected\n${expected}\n--- actual\n${actual}")
endif()
