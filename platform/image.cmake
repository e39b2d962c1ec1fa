# Image facility: portable decoders, scaling and the numbered store, over a
# plain-memory pixel backend natively and DIB sections on Win32. Link `zel_image`
# on either side (`zel_image_win32` names the same library in the win32 build).
if(ZEL_WIN32)
  # Static archives only: the exe carries no DLLs.
  set(ZLIB_USE_STATIC_LIBS ON)
  set(JPEG_NAMES jpeg)
endif()
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(OpenJPEG REQUIRED)

set(zel_image_sources
  ${CMAKE_CURRENT_LIST_DIR}/image_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_store.cpp)
if(ZEL_WIN32)
  list(APPEND zel_image_sources ${CMAKE_CURRENT_LIST_DIR}/win32/image_win32.cpp)
else()
  list(APPEND zel_image_sources ${CMAKE_CURRENT_LIST_DIR}/image_memory.cpp)
endif()

add_library(zel_image STATIC ${zel_image_sources})
target_include_directories(zel_image PRIVATE ${OPENJPEG_INCLUDE_DIRS})
target_link_libraries(zel_image PRIVATE JPEG::JPEG PNG::PNG ${OPENJPEG_LIBRARIES})
if(ZEL_WIN32)
  target_compile_definitions(zel_image PRIVATE OPJ_STATIC)
  target_link_libraries(zel_image PUBLIC gdi32)
  add_library(zel_image_win32 ALIAS zel_image)
endif()
