# The request routine against servers on 127.0.0.1, and the loopback servers
# themselves, which the command tests use too.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

add_library(vellumara_loopback_server STATIC ${CMAKE_CURRENT_LIST_DIR}/loopback_server.cpp)
target_include_directories(vellumara_loopback_server PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(vellumara_loopback_server PUBLIC PkgConfig::CPPHTTPLIB Threads::Threads)

vellumara_test(request_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/request_test.cpp
  LIBS vellumara_http vellumara_loopback_server)
