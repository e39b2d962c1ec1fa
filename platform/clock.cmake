# Date masks, monotonic clock and sleep: portable, both builds.
add_library(zel_clock STATIC ${CMAKE_CURRENT_LIST_DIR}/clock.cpp)
if(NOT ZEL_WIN32)
  find_package(Threads REQUIRED)
  target_link_libraries(zel_clock PUBLIC Threads::Threads)
endif()
