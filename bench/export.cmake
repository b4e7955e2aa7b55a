# export_bench: a whole export through the real window against a loopback site,
# and curl fetching the same pages as the baseline. Prints figures; not a test.
find_package(PkgConfig REQUIRED)
pkg_check_modules(EXPORT_BENCH_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_executable(export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cpp)
target_link_libraries(export_bench PRIVATE vellumara_scrape vellumara_shell_ops vellumara_http
                      PkgConfig::EXPORT_BENCH_HTTPLIB Threads::Threads)
