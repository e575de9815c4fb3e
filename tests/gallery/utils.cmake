# Tests of the gallery's text, file and record utilities (no GUI).
foreach(name UtilsText UtilsFiles Markup Records DialogTemplates DialogTools)
  string(TOLOWER ${name} lower)
  pictavo_add_test(gallery_${lower}_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${name}Test.cpp LIBS gallery_utils pictavo_test_support)
endforeach()
