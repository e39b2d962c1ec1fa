# Listener threads: std::thread natively, Win32 threads and events on Windows
# (the window thread must keep serving sent messages while it waits).
if(ZEL_WIN32)
  add_library(zel_thread STATIC ${CMAKE_CURRENT_LIST_DIR}/win32/thread_win32.cpp)
  target_link_libraries(zel_thread PUBLIC user32)
else()
  find_package(Threads REQUIRED)
  add_library(zel_thread STATIC ${CMAKE_CURRENT_LIST_DIR}/thread_std.cpp)
  target_link_libraries(zel_thread PUBLIC Threads::Threads)
endif()
