# orvik_add_tests(<prefix> LIBS <libraries...> [DISPLAY] [CLIENTS]
#                 [CLIENT_PROCESSES <test files...>])
# Makes one GoogleTest executable per *_test.cpp file of the calling folder.
# Every test is labelled <prefix>. DISPLAY documents that the tests need an X display
# (scripts/test provides one).
# CLIENT_PROCESSES names the files (without .cpp) whose tests start, stop or look for client
# processes by name; no two such tests run at the same time. CLIENTS puts every test of the
# folder under that rule.
function(orvik_add_tests prefix)
  cmake_parse_arguments(ARG "DISPLAY;CLIENTS" "" "LIBS;CLIENT_PROCESSES" ${ARGN})
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
    # One label, the folder's: gtest_discover_tests flattens its PROPERTIES, so a list value
    # would not survive.
    if(ARG_CLIENTS OR name IN_LIST ARG_CLIENT_PROCESSES)
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${prefix} RESOURCE_LOCK orvik_client_processes)
    else()
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${prefix})
    endif()
  endforeach()
endfunction()
