# cmake -DSOURCE=VersionInfo.cpp -DOUTPUT=changelog -P ReleaseNotes.cmake
# Writes the release notes held in the Version window's source as plain text.
cmake_minimum_required(VERSION 3.25)
file(READ "${SOURCE}" text)
string(FIND "${text}" "R\"(" start)
string(FIND "${text}" ")\";" end)
if(start EQUAL -1 OR end EQUAL -1 OR end LESS start)
  message(FATAL_ERROR "no release notes found in ${SOURCE}")
endif()
math(EXPR start "${start} + 3")
math(EXPR length "${end} - ${start}")
string(SUBSTRING "${text}" ${start} ${length} notes)
file(WRITE "${OUTPUT}" "${notes}")
