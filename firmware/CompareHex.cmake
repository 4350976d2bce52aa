# Fails when the shipped firmware.hex differs from the one just built from the source.
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILT} ${SHIPPED} RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${SHIPPED} is not the firmware built from the source (${BUILT}).\n"
                      "Copy the built file over it and commit both together.")
endif()
message(STATUS "${SHIPPED} equals the built firmware")
