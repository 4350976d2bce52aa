# The shipped firmware (resources/firmware.hex) and where it came from (firmware/shipped.txt: the
# source's SHA-256 and the compiler that built it). Run with cmake -P:
#   -DMODE=check  fails when the shipped image is not the one built from today's source: with the
#                 compiler that made it the bytes must be equal; another compiler (avr-gcc 14 on
#                 Debian 13 against 5.4 on Debian 12) makes other bytes from the same source, so
#                 then the source must be the one recorded (the simulated core's tests run the
#                 build's own image as well).
#   -DMODE=ship   copies the built image over the shipped one and records source and compiler.
# Always given: BUILT (the build's firmware.hex), SHIPPED, RECORD, SOURCE, COMPILER (the first
# line of avr-gcc --version).
file(SHA256 ${SOURCE} source_sha256)

if(MODE STREQUAL "ship")
  file(COPY_FILE ${BUILT} ${SHIPPED})
  file(WRITE ${RECORD}
    "# What resources/firmware.hex was built from; the test firmware_hex_up_to_date reads it.\n"
    "# Written by: cmake --build build --target firmware_ship\n"
    "source-sha256=${source_sha256}\n"
    "compiler=${COMPILER}\n")
  message(STATUS "${SHIPPED} is now the firmware built by ${COMPILER}; commit it with ${RECORD}")
  return()
endif()

set(recorded_sha256 "")
set(recorded_compiler "")
if(EXISTS ${RECORD})
  file(STRINGS ${RECORD} lines)
  foreach(line ${lines})
    if(line MATCHES "^source-sha256=(.*)$")
      set(recorded_sha256 "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^compiler=(.*)$")
      set(recorded_compiler "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()
set(remedy "Build it with ${recorded_compiler} and run 'cmake --build build --target firmware_ship', then commit ${SHIPPED} and ${RECORD} together.")

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILT} ${SHIPPED} RESULT_VARIABLE different)
if(NOT recorded_sha256 STREQUAL source_sha256)
  message(FATAL_ERROR "The firmware's source changed since ${SHIPPED} was built from it (${RECORD}). ${remedy}")
endif()
if(NOT different)
  message(STATUS "${SHIPPED} equals the firmware built from the source")
elseif(COMPILER STREQUAL recorded_compiler)
  message(FATAL_ERROR "${SHIPPED} is not the firmware ${COMPILER} builds from the source (${BUILT}). ${remedy}")
else()
  message(STATUS "${SHIPPED} was built by ${recorded_compiler} from this source; ${COMPILER} "
                 "makes other bytes from it, which the simulated core's tests run as well")
endif()
