# Runs the window with its commands against a test site and closes it mid-export.
add_executable(vellumara_export_close_probe ${CMAKE_CURRENT_LIST_DIR}/export_close_probe.cpp)
target_include_directories(vellumara_export_close_probe PRIVATE ${PROJECT_SOURCE_DIR}/src)
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(vellumara_export_close_probe PRIVATE vellumara_scrape vellumara_shell_ops Qt6::Test)

vellumara_test(scrape_commands_test GUI SOURCES commands_test.cpp
               LIBS vellumara_scrape vellumara_shell_ops vellumara_loopback_server)
target_compile_definitions(scrape_commands_test PRIVATE
  VELLUMARA_EXPORT_CLOSE_PROBE="$<TARGET_FILE:vellumara_export_close_probe>")
add_dependencies(scrape_commands_test vellumara_export_close_probe)
