# Printing the whole book to PDF, for print_bench.sh: the reader's own path and the view's
# print() it avoids, each timed from the confirmed prompt to the finished file.
add_executable(print_harness "${CMAKE_CURRENT_LIST_DIR}/print_harness.cpp")
target_link_libraries(print_harness PRIVATE da1011 da1011_reader da1011_reader_linked)
set_target_properties(print_harness PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
