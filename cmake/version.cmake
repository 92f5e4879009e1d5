# Writes the git description of the source tree (empty outside a checkout) into a header, only
# when it changed, so a commit rebuilds the one file that shows it.
# Arguments: SRC (source tree), OUT (the header).
set(describe "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${SRC}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
                  WORKING_DIRECTORY ${SRC} OUTPUT_VARIABLE describe
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    set(describe "")
  endif()
endif()
set(text "#pragma once\n#define ORVO_GIT_DESCRIBE \"${describe}\"\n")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUT} "${text}")
endif()
