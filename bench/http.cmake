# HttpRequest against the curl command line: 1,000 small GETs to a loopback server.
# The server is the tests' loopback server, so the benchmark needs the tests' build.
if(NOT TARGET vellumara_loopback_server)
  return()
endif()
add_executable(vellumara_http_bench ${CMAKE_CURRENT_LIST_DIR}/http_bench.cpp)
target_link_libraries(vellumara_http_bench PRIVATE vellumara_http vellumara_loopback_server)
