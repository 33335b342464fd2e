# The simulated writer: a protocol state machine and chip model (core, no
# Qt) and a thin pty front end.
add_library(writer_sim_core STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/SimChip.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SimWriter.cpp)
target_link_libraries(writer_sim_core PUBLIC orvan_tree orvan_device)

add_executable(writer-sim ${CMAKE_CURRENT_SOURCE_DIR}/SimMain.cpp)
target_link_libraries(writer-sim PRIVATE writer_sim_core)

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/CMakeLists.txt)
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/tests)
endif()
