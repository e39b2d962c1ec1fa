# Serial port: the Win32 implementation; native tests link
# tests/doubles/serial (zel_serial_fake) instead.
if(ZEL_WIN32)
  add_library(zel_serial STATIC ${CMAKE_CURRENT_LIST_DIR}/win32/serial_win32.cpp)
  target_link_libraries(zel_serial PUBLIC zel_thread)
endif()
