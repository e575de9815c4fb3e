# Helpers shared by every layer's CMakeLists.

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt.
function(pictavo_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# pictavo_add_test(<name> SOURCES a.cpp ... LIBS lib ... [ENV VAR=value ...])
# One GoogleTest executable; every TEST in it becomes a CTest test.
# GUI tests run headless on Qt's offscreen platform.
function(pictavo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    PICTAVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    PICTAVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # ctest runs suites side by side; ImageMagick, the tests' oracle, would
  # otherwise start a thread per core in every call and crowd the machine.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;MAGICK_THREAD_LIMIT=1;OMP_NUM_THREADS=1;${T_ENV}"
               TIMEOUT 600)
endfunction()

# pictavo_add_test_support(<name> SOURCES a.cpp ... LIBS lib ...): helpers
# that test programs share, compiled once as a static library which each of
# them links (not once in every program). The helpers' folders are on the
# include path of whoever links it.
function(pictavo_add_test_support name)
  cmake_parse_arguments(S "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${S_SOURCES})
  target_link_libraries(${name} PUBLIC ${S_LIBS} GTest::gtest GTest::gmock)
  set(folders ${CMAKE_SOURCE_DIR})
  foreach(src ${S_SOURCES})
    get_filename_component(folder ${src} DIRECTORY)
    if(NOT IS_ABSOLUTE "${folder}")
      set(folder ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
    endif()
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  target_include_directories(${name} PUBLIC ${folders})
  target_compile_definitions(${name} PRIVATE
    PICTAVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    PICTAVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()

# pictavo_add_fuzzer(<name> SOURCE f.cpp LIBS lib ...): a libFuzzer target (clang only).
# tools/fuzz-all runs the programs named *_fuzzer, and fuzz/make-seeds gives
# each its seeds under that name.
function(pictavo_add_fuzzer name)
  if(NOT name MATCHES "_fuzzer$")
    message(FATAL_ERROR "fuzz target ${name}: its name must end in _fuzzer, or tools/fuzz-all never runs it")
  endif()
  cmake_parse_arguments(F "" "SOURCE" "LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCE})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(fuzzers ${name})
endfunction()

# pictavo_add_bench(<name> SOURCES a.cpp ... LIBS lib ...): a Google Benchmark program.
function(pictavo_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# pictavo_glob_tests(LIBS lib ... [ENV ...]): one test executable per *Test.cpp
# in the current folder, named after the file. The folder's *Support.cpp
# files become its helper library, tests_<folder>_support, which every one
# of them links.
function(pictavo_glob_tests)
  cmake_parse_arguments(G "" "" "LIBS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Support.cpp)
  set(support)
  if(helpers)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(MAKE_C_IDENTIFIER ${folder}_support support)
    pictavo_add_test_support(${support} SOURCES ${helpers} LIBS ${G_LIBS})
  endif()
  foreach(src ${sources})
    get_filename_component(stem ${src} NAME_WE)
    string(TOLOWER ${stem} lower)
    pictavo_add_test(${lower} SOURCES ${src} LIBS ${support} ${G_LIBS} ENV ${G_ENV})
  endforeach()
  pictavo_add_subfolders()
endfunction()
