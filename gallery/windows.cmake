# The windows of the gallery (library gallery) and the program pictavo.
find_package(Qt6 COMPONENTS Widgets REQUIRED)
file(GLOB gallery_window_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pvu*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Pvu*.cpp)
list(FILTER gallery_window_sources EXCLUDE REGEX "/pvutils[^/]*$")
# The name prompt is shared with the upload window, which the main window opens.
list(FILTER gallery_window_sources EXCLUDE REGEX "/pvu5\\.cpp$")
add_library(gallery_prompt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/pvu5.cpp)
target_include_directories(gallery_prompt PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(gallery_prompt PUBLIC platform_gui Qt6::Widgets)
add_library(gallery STATIC ${gallery_window_sources})
target_include_directories(gallery PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(gallery PUBLIC gallery_utils platform_gui platform_inifile platform_strings platform_system
  platform_shell platform_help Qt6::Widgets gallery_prompt upload_window widgets raster_view)

add_executable(pictavo ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(pictavo PRIVATE gallery widgets)
set_target_properties(pictavo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(pictavo pictavo_data)
