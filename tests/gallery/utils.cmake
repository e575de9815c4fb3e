# Tests of the gallery's text, file and record utilities (no GUI).
foreach(name UtilsText UtilsFiles Markup Records DialogTemplates DialogTools)
  string(TOLOWER ${name} lower)
  pictavo_add_test(gallery_${lower}_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${name}Test.cpp LIBS gallery_utils pictavo_test_support)
endforeach()
# The decorations, on pictures made by the tests (no GUI).
pictavo_add_test(gallery_decorations_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/DecorationsTest.cpp LIBS gallery_utils pictavo_test_support)
# JPEG photos: EXIF orientation and headers their data cannot fill (no GUI).
pictavo_add_test(gallery_jpeg_photos_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/JpegPhotosTest.cpp LIBS gallery_utils pictavo_test_support)
