# Keyboard injection: the header is the whole portable part; Win32 has the
# real implementation, native tests link tests/doubles/keyboard.
if(ZEL_WIN32)
  add_library(zel_keyboard_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/win32/keyboard_win32.cpp)
  target_link_libraries(zel_keyboard_win32 PUBLIC user32)
endif()
