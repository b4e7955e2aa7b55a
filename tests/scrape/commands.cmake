vellumara_test(scrape_commands_test GUI SOURCES commands_test.cpp
               LIBS vellumara_scrape vellumara_shell_ops vellumara_loopback_server)
