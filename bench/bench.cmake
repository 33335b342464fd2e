# writer-bench: the protocol's host overhead and paced throughput against
# writer-sim over a pseudo-terminal. A program that prints figures, not a test.
add_executable(writer-bench ${CMAKE_CURRENT_SOURCE_DIR}/WriterBench.cpp)
target_link_libraries(writer-bench PRIVATE orvan_testlib)
target_compile_definitions(writer-bench PRIVATE WRITER_SIM="$<TARGET_FILE:writer-sim>")
add_dependencies(writer-bench writer-sim)

# ops-bench: program, verify and read back the largest model through the
# operation workers against the paced simulator.
add_executable(ops-bench ${CMAKE_CURRENT_SOURCE_DIR}/OpsBench.cpp)
target_link_libraries(ops-bench PRIVATE orvan_testlib)
target_compile_definitions(ops-bench PRIVATE WRITER_SIM="$<TARGET_FILE:writer-sim>")
add_dependencies(ops-bench writer-sim)
