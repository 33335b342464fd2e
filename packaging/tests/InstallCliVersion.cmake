# The installed orvan-cli names itself and the package's version.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${PREFIX}/bin/orvan-cli" --version
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "orvan-cli --version exited ${rc}: ${out}${err}")
endif()
string(REGEX REPLACE "\n.*" "" first "${out}")
string(REPLACE "." "\\." version_re "${VERSION}")
if(NOT first MATCHES "^orvan-cli ${version_re}([^0-9]|$)")
  message(FATAL_ERROR "first line is \"${first}\", not \"orvan-cli ${VERSION}...\"")
endif()
