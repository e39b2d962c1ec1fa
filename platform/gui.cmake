# GUI toolkit: Win32 controls (the native build uses tests/doubles/gui).
if(ZEL_WIN32)
  add_library(zel_gui_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/win32/gui_win32.cpp)
  target_link_libraries(zel_gui_win32 PUBLIC zel_image comctl32 comdlg32 gdi32 user32)
endif()
