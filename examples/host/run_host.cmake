# Runs the host example on a catalog and checks its exit status and output;
# a missing catalog must end with status 1.
execute_process(COMMAND ${HOST} -l ${LIBRARY} ${CATALOG}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mostfcat_host exited with ${status}\n${out}\n${err}")
endif()
foreach(expected
    "\n  fblock NetBlock id 0x01: "
    "\n  fblock AudioAmplifier id 0x22: "
    "\n  fblock AudioTunerAmFm id 0x40: "
    "\n    instance AmplifierRear id 0x02 (FBlock element AudioAmplifier)\n"
    "\n      function Volume id 0x400 (property, class 18)\n"
    "\n        operation Set code 0x0\n"
    "\n          parameter 1 Volume: kind 1, bit offset 0, width 8\n"
    "\n            value Medium = 2\n"
    "\nmessage AudioAmplifier.Loudness.Status: key 0x22403C, default length 1\n"
    "\n  parameter Loudness: byte 0x02 reads 2 (Medium)\n")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${expected}\" in the output:\n${out}")
  endif()
endforeach()

execute_process(COMMAND ${HOST} -l ${LIBRARY} ${CATALOG}.missing
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "status 3")
  message(FATAL_ERROR "a missing catalog gave ${status}: ${err}")
endif()
