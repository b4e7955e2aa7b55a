# address decomposition and cookie merging: pure text, no network
vellumara_test(url_test SOURCES url_test.cpp LIBS vellumara_http)
vellumara_test(cookies_test SOURCES cookies_test.cpp LIBS vellumara_http)
