# Preferences load and save over the GUI seam and the preferences file. The
# GUI implementation comes from whoever links it (Win32 toolkit or test double).
add_library(zel_preferences STATIC ${CMAKE_CURRENT_LIST_DIR}/preferences.cpp)
target_link_libraries(zel_preferences PUBLIC zel_preffile)
