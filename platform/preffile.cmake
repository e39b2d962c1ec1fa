# Preferences file reader and writer: portable, both builds.
add_library(zel_preffile STATIC ${CMAKE_CURRENT_LIST_DIR}/preffile.cpp)
