# cmake -DDESKTOP_FILE=... -DMIME_DIR=... -P CheckDesktopFile.cmake
# Fails on any error or warning of desktop-file-validate, and on a MIME type
# that the MIME database names neither as a type nor as an alias, since file
# managers would then never offer the program for it.
find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${VALIDATE} ${DESKTOP_FILE} OUTPUT_VARIABLE out ERROR_VARIABLE out
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR out MATCHES ": (error|warning):")
  message(FATAL_ERROR "desktop-file-validate (exit ${rc}):\n${out}")
endif()

file(READ ${DESKTOP_FILE} entry)
string(REGEX MATCH "\nMimeType=([^\n]*)" mime_line "${entry}")
set(mime_types "${CMAKE_MATCH_1}")
file(READ ${MIME_DIR}/aliases aliases)
set(unknown)
foreach(type IN LISTS mime_types)
  if(type STREQUAL "")
    continue()
  endif()
  string(REGEX REPLACE "([.+])" "\\\\\\1" pattern "${type}")
  if(NOT EXISTS ${MIME_DIR}/${type}.xml AND NOT aliases MATCHES "(^|\n)${pattern} ")
    list(APPEND unknown ${type})
  endif()
endforeach()
if(unknown)
  message(FATAL_ERROR "MIME types unknown to ${MIME_DIR}: ${unknown}")
endif()
