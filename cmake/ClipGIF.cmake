# Helpers shared by the folders' build files.

# clipgif_library(NAME [RECURSE] [DEPS ...]): a static library of every .cpp in the calling
# folder (with RECURSE, in its sub-folders too).
function(clipgif_library name)
  cmake_parse_arguments(ARG "RECURSE" "" "DEPS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    # A folder whose sources are not written yet still gives a target to link against.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# clipgif_tests([RECURSE] LIBS ...): one test program per .cpp in the calling folder (with
# RECURSE, in its sub-folders too), named after the folder and file
# (tests/gif/lzw_test.cpp -> test_gif_lzw_test), each registered with CTest. Every program links
# the shared helpers of tests/common (the testsupport library).
function(clipgif_tests)
  cmake_parse_arguments(ARG "RECURSE" "" "LIBS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(ARG_RECURSE)
    file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    set(target test_${folder}_${base})
    add_executable(${target} ${src})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} testsupport GTest::gtest GTest::gtest_main)
    add_test(NAME ${folder}.${base} COMMAND ${target})
    set(environment "CLIPGIF_BIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY};CLIPGIF_SOURCE=${PROJECT_SOURCE_DIR};QT_QPA_PLATFORM=offscreen")
    if(CLIPGIF_SANITIZE)
      # Leaks of system libraries that are never torn down (fontconfig under Qt) are not ours.
      list(APPEND environment "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan-suppressions.txt")
    endif()
    set_tests_properties(${folder}.${base} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 600)
  endforeach()
endfunction()
