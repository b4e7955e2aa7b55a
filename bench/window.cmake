# Window operations under load: a worker filling the book buffer, huge cells.
add_executable(vellumara_window_bench ${CMAKE_CURRENT_LIST_DIR}/window_append_bench.cpp)
target_link_libraries(vellumara_window_bench PRIVATE vellumara_shell_ops Threads::Threads)
