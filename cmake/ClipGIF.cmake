# Helpers shared by the folders' build files.

# clipgif_library(NAME [DEPS ...]): a static library of every .cpp in the calling folder
# (and its sub-folders listed in SUBDIRS).
function(clipgif_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBDIRS" ${ARGN})
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(sub ${ARG_SUBDIRS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
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

# clipgif_tests(LIBS ...): one test program per .cpp in the calling folder, named after the
# folder and file (tests/gif/lzw_test.cpp -> test_gif_lzw_test), each registered with CTest.
# Files whose name starts with "support_" are shared helpers compiled into every program.
function(clipgif_tests)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support_*.cpp
                                      ${PROJECT_SOURCE_DIR}/tests/common/*.cpp)
  list(REMOVE_ITEM tests ${support} "")
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    set(target test_${folder}_${base})
    add_executable(${target} ${src} ${support})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    add_test(NAME ${folder}.${base} COMMAND ${target})
    set_tests_properties(${folder}.${base} PROPERTIES
      ENVIRONMENT "CLIPGIF_BIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY};CLIPGIF_SOURCE=${PROJECT_SOURCE_DIR};QT_QPA_PLATFORM=offscreen"
      TIMEOUT 600)
  endforeach()
endfunction()
