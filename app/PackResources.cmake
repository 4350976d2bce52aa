# Appends the resource archive to the program (cmake -P, from the build of experiment).
# Entries, flat by file name: every file of the source resources/ folder, the files the build
# made in <build>/resources (avr.cxf, made from avr.xml, which is then left out) and the INI
# files of the archive folder (resource.ini, controlpos.ini). A built file replaces a source
# file of the same name.
cmake_minimum_required(VERSION 3.25)

foreach(var NUKTOOL PROGRAM SOURCE_RESOURCES BUILD_RESOURCES ARCHIVE_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackResources.cmake: ${var} is not set")
  endif()
endforeach()

file(GLOB generated LIST_DIRECTORIES false ${BUILD_RESOURCES}/* ${ARCHIVE_DIR}/*)
set(generated_names)
foreach(file ${generated})
  get_filename_component(name ${file} NAME)
  list(APPEND generated_names ${name})
endforeach()

file(GLOB sources LIST_DIRECTORIES false ${SOURCE_RESOURCES}/*)
set(inputs)
foreach(file ${sources})
  get_filename_component(name ${file} NAME)
  if(name MATCHES "^\\." OR name IN_LIST generated_names)
    continue()
  endif()
  if(name STREQUAL "avr.xml" AND "avr.cxf" IN_LIST generated_names)
    continue()
  endif()
  list(APPEND inputs ${file})
endforeach()
list(APPEND inputs ${generated})

execute_process(COMMAND ${NUKTOOL} pack --append-to ${PROGRAM} ${PROGRAM}.packed ${inputs}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${PROGRAM}.packed)
  message(FATAL_ERROR "Packing the resources into ${PROGRAM} failed")
endif()
file(RENAME ${PROGRAM}.packed ${PROGRAM})
