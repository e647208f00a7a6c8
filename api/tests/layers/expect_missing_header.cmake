# Builds TARGET in BUILD_DIR and passes only when the build fails because
# HEADER was not found: any other outcome (it compiled, or failed for
# another reason) is a failure of the check.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "([.+])" "\\\\\\1" quoted "${HEADER}")
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} compiled: its layer reaches ${HEADER}")
endif()
if(NOT "${out}${err}" MATCHES "${quoted}(: No such file or directory|' file not found)")
  message(FATAL_ERROR "${TARGET} failed for another reason than a missing ${HEADER}:\n${out}${err}")
endif()
message(STATUS "${TARGET}: ${HEADER} is out of reach, as it must be")
