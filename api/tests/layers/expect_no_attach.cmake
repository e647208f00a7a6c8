# Passes when PROGRAM carries the client library's transport (its call
# routine) but not the library's process attach, and does not load the
# shared library that would bring it.
execute_process(COMMAND ${NM} ${PROGRAM} RESULT_VARIABLE result OUTPUT_VARIABLE symbols
                ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} ${PROGRAM} failed: ${err}")
endif()
if(NOT symbols MATCHES "_CallRemoteDg")
  message(FATAL_ERROR "${PROGRAM} has no call routine: the check cannot see its symbols")
endif()
if(symbols MATCHES "qrdAttachAnchor")
  message(FATAL_ERROR "${PROGRAM} links the client library's process attach")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers)
if(headers MATCHES "NEEDED +libqrd")
  message(FATAL_ERROR "${PROGRAM} loads the client library")
endif()
message(STATUS "${PROGRAM}: the transport without the attach")
