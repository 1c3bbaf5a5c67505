# A name in target_link_libraries that is no target (a typo, a module left out) stops the
# configure instead of reaching the linker as a plain library name.
set(CMAKE_LINK_LIBRARIES_ONLY_TARGETS ON)

option(MERIDAX_WERROR "Treat the project's warnings as errors (the test trees; never a user's build)"
       OFF)
option(MERIDAX_CHECKS "Add the target meridax_checks: each library as one translation unit, each header alone"
       OFF)
if(MERIDAX_CHECKS)
  add_custom_target(meridax_checks)
endif()

# Warnings are set per target so that third-party code is never built with them. The test
# trees make them errors; a package built by a newer compiler with new warnings still builds.
function(meridax_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(MERIDAX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# meridax_publish_headers(target folder): the target's users include its headers as
# "folder/Name.h" and see no other folder of the tree. Each target gets an include root of its
# own in the build tree holding one link to its source folder, so that a header of a layer
# above (one the target does not link) is not found and the build stops.
function(meridax_publish_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# meridax_add_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...]): one static library per
# folder, publishing that folder's headers only.
function(meridax_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  meridax_publish_headers(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  meridax_set_warnings(${name})
  # A library's sources are one batch: the headers they share are read once, and two
  # file-local helpers of one name fail at once instead of when a new source moves the borders
  # between batches of sixteen and puts them together.
  if(CMAKE_UNITY_BUILD)
    set_target_properties(${name} PROPERTIES UNITY_BUILD_BATCH_SIZE 0)
  endif()
  if(MERIDAX_CHECKS)
    meridax_check_library(${name} ${folder} SOURCES ${ARG_SOURCES} DEPS ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
  endif()
endfunction()

# meridax_check_library(name folder SOURCES ... DEPS ...): the checks of a library, built by
# the target meridax_checks (compiled for syntax only, never linked):
# - name_headers: each header of its folder alone, so that every header includes what it uses.
# - name_one_batch, when the tree is built without unity batches: all its sources as one
#   translation unit (a unity build compiles each library so, and is the check itself).
function(meridax_check_library name folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  set(checks ${name}_headers)
  if(NOT CMAKE_UNITY_BUILD)
    set(checked_sources ${ARG_SOURCES})
    list(FILTER checked_sources INCLUDE REGEX "\\.cpp$")
    add_library(${name}_one_batch OBJECT EXCLUDE_FROM_ALL ${checked_sources})
    set_target_properties(${name}_one_batch PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    list(APPEND checks ${name}_one_batch)
  endif()

  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
       ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  set(header_sources)
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER ${header} stem)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/header_checks/${stem}.cpp)
    file(GENERATE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
    list(APPEND header_sources ${source})
  endforeach()
  add_library(${name}_headers OBJECT EXCLUDE_FROM_ALL ${header_sources})
  set_target_properties(${name}_headers PROPERTIES UNITY_BUILD OFF)

  foreach(check IN LISTS checks)
    target_link_libraries(${check} PRIVATE ${name} ${ARG_DEPS})
    meridax_set_warnings(${check})
    # Syntax only: no object is written, so ccache has nothing to keep and moc nothing to add.
    target_compile_options(${check} PRIVATE -fsyntax-only)
    set_target_properties(${check} PROPERTIES CXX_COMPILER_LAUNCHER "" AUTOMOC OFF AUTORCC OFF
                                              AUTOUIC OFF)
    add_dependencies(meridax_checks ${check})
  endforeach()
endfunction()

# meridax_add_test(name SOURCES ... [DEPS ...] [ENV ...] [LABELS ...] [TIMEOUT s] [LONG]
#                  [FIXTURES name]):
# one GoogleTest executable per module; ctest runs each of its cases as an entry of its own
# (found when ctest starts, so that a sanitizer build does not run the tests to build them),
# each with the timeout. LONG marks a module whose cases take seconds each: they carry the
# label "long" and start before the short ones, so that two cores finish together. FIXTURES
# names the ctest fixture every case needs (a server its setup test starts).
function(meridax_add_test name)
  cmake_parse_arguments(ARG "LONG" "TIMEOUT;FIXTURES" "SOURCES;DEPS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT ARG_DEPS MATCHES "GTest::gtest_main")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  meridax_set_warnings(${name})
  if(MERIDAX_TEST_HEADERS)
    target_precompile_headers(${name} REUSE_FROM ${MERIDAX_TEST_HEADERS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(labels ${ARG_LABELS})
  set(cost 1)
  if(ARG_LONG)
    list(APPEND labels long)
    set(cost 1000)
  endif()
  set(properties TIMEOUT ${ARG_TIMEOUT} COST ${cost})
  # The discovered tests' properties pass through a generated script that flattens lists.
  list(LENGTH labels label_count)
  list(LENGTH ARG_ENV env_count)
  if(label_count GREATER 1 OR env_count GREATER 1)
    message(FATAL_ERROR "${name}: one label and one environment variable at most")
  endif()
  if(labels)
    list(APPEND properties LABELS ${labels})
  endif()
  if(ARG_ENV)
    list(APPEND properties ENVIRONMENT ${ARG_ENV})
  endif()
  if(ARG_FIXTURES)
    list(APPEND properties FIXTURES_REQUIRED ${ARG_FIXTURES})
  endif()
  # Named module.Suite.Case, so that -R picks a module's cases.
  gtest_discover_tests(${name} TEST_PREFIX ${name}. NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST
                       DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
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
