# The device link: port use and the three mode listeners. The GUI and, natively,
# the serial port are link-time seams: the program links the Win32 toolkit,
# native tests link zel_gui_fake and zel_serial_fake.
add_library(zel_link STATIC ${CMAKE_CURRENT_LIST_DIR}/link.cpp)
target_link_libraries(zel_link PUBLIC zel_frame zel_thread)
if(ZEL_WIN32)
  target_link_libraries(zel_link PUBLIC zel_serial)
endif()
