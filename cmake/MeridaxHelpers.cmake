# A name in target_link_libraries that is no target (a typo, a module left out) stops the
# configure instead of reaching the linker as a plain library name.
set(CMAKE_LINK_LIBRARIES_ONLY_TARGETS ON)

# Warnings are set per target so that third-party code is never built with them.
function(meridax_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
endfunction()

# meridax_add_library(name SOURCES ... [DEPS ...]): one static library per folder.
function(meridax_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  meridax_set_warnings(${name})
endfunction()

# meridax_add_test(name SOURCES ... [DEPS ...] [ENV ...] [LABELS ...]): one GoogleTest
# executable per module, registered with ctest.
function(meridax_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT ARG_DEPS MATCHES "GTest::gtest_main")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  meridax_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# meridax_add_subfolders(folder ...): adds the named subfolders of the current folder; one
# that is missing stops the configure.
function(meridax_add_subfolders)
  foreach(child IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${child} holds no CMakeLists.txt")
    endif()
    add_subdirectory(${child})
  endforeach()
endfunction()
