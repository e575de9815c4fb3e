# Tests of the main window (offscreen) and of the real program under a virtual display.
set(window_test_dir ${CMAKE_CURRENT_SOURCE_DIR}/windows)
file(GLOB window_test_support CONFIGURE_DEPENDS ${window_test_dir}/*Support.cpp)
file(GLOB window_tests CONFIGURE_DEPENDS ${window_test_dir}/*Test.cpp)
# The window tests' fixtures, compiled once for every program that drives the main window.
pictavo_add_test_support(tests_gallery_windows_support SOURCES ${window_test_support}
  LIBS gallery pictavo_gui_test_support)
# The build tests' helpers, over the window tests' fixtures.
pictavo_add_test_support(tests_gallery_build_support SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/BuildTestSupport.cpp
  LIBS tests_gallery_windows_support formats)
foreach(src ${window_tests})
  get_filename_component(stem ${src} NAME_WE)
  string(TOLOWER ${stem} lower)
  pictavo_add_test(${lower} SOURCES ${src} LIBS tests_gallery_windows_support)
endforeach()
if(TARGET programwindowtest)
  add_dependencies(programwindowtest pictavo)
endif()
# Template variables and description lookups (no GUI).
pictavo_add_test(gallery_variables_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/VariablesTest.cpp LIBS gallery_utils pictavo_test_support)
# The page writer over the main window.
pictavo_add_test(pagestest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/PagesTest.cpp LIBS tests_gallery_windows_support)
# The build driver end to end (offscreen main window, pictures made at test time).
pictavo_add_test(gallery_build_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/BuildTest.cpp LIBS tests_gallery_build_support)
# Settings across a restart, damaged records and output names, each through a real build.
pictavo_add_test(gallery_build_settings_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/BuildSettingsTest.cpp
  LIBS tests_gallery_build_support)
# Picture loading and saving, output names, the makers and their geometry (no GUI).
pictavo_add_test(gallery_pictures_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/PicturesTest.cpp LIBS gallery_utils pictavo_test_support)
pictavo_add_test(gallery_makers_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/MakersTest.cpp LIBS gallery_utils pictavo_test_support)
pictavo_add_test(gallery_makers_window_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/MakersWindowTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MakersWindowTestSupport.cpp LIBS tests_gallery_windows_support)
# The masked overlay through the main window's image maker.
pictavo_add_test(gallery_mask_overlay_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/MaskOverlayTest.cpp
  LIBS tests_gallery_windows_support compositing_view)
# The viewer on a private Xvfb, driven by xdotool key presses.
pictavo_add_test(gallery_viewer_x11_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ViewerX11Test.cpp LIBS gallery pictavo_test_support
  pictavo_x11_test_support)
# Decorated builds pinned by the checksums of what they write.
pictavo_add_test(gallery_decorated_output_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/DecoratedOutputTest.cpp
  LIBS tests_gallery_windows_support)
