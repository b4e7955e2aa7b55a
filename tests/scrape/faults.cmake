# The export against a misbehaving site and against hostile pages, through the
# real window; the site is built on the loopback servers of tests/http.
if(TARGET vellumara_loopback_server)
  vellumara_test(scrape_faults_test GUI SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_test.cpp
                 LIBS vellumara_scrape vellumara_shell_ops vellumara_loopback_server)
  vellumara_test(scrape_hostile_test GUI SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostile_test.cpp
                 LIBS vellumara_scrape vellumara_shell_ops vellumara_loopback_server)
endif()
