# orvik_add_tests(<prefix> LIBS <libraries...> [DISPLAY] [LABELS <labels...>]
#                 [CLIENT_PROCESSES <test files...>])
# Makes one GoogleTest executable per *_test.cpp file of the calling folder.
# DISPLAY marks tests that need an X display (scripts/test provides one).
# CLIENT_PROCESSES names the files (without .cpp) whose tests start, stop or look for client
# processes by name; no two such tests run at the same time.
function(orvik_add_tests prefix)
  cmake_parse_arguments(ARG "DISPLAY" "" "LIBS;LABELS;CLIENT_PROCESSES" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${_tests})
    get_filename_component(name ${src} NAME_WE)
    set(target ${prefix}_${name})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
    if(TARGET orvik_test_support)
      target_link_libraries(${target} PRIVATE orvik_test_support)
    endif()
    target_compile_definitions(${target} PRIVATE
      ORVIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ORVIK_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set(_labels ${prefix} ${ARG_LABELS})
    if(ARG_DISPLAY)
      list(APPEND _labels display)
    endif()
    set(_properties LABELS "${_labels}")
    if(name IN_LIST ARG_CLIENT_PROCESSES)
      list(APPEND _properties RESOURCE_LOCK orvik_client_processes)
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${_properties})
  endforeach()
endfunction()
