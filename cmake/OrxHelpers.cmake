# SPDX-License-Identifier: MIT
# Shared build helpers: warning flags and Qt Test registration.

option(ORX_WERROR "Treat compiler warnings as errors" OFF)

function(orx_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(ORX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# orx_add_library(<name> SOURCES ... [PUBLIC_LIBS ...] [LIBS ...])
# One static library per source folder; includes resolve from the folder.
# PUBLIC_LIBS are the libraries whose headers the library's own headers
# include (its users need them too); LIBS are linked PRIVATE.
function(orx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_LIBS})
  orx_set_warnings(${name})
endfunction()

# orx_add_test(<name> SOURCES ... [LIBS ...])
# Builds a Qt Test executable and registers it with CTest. Every test runs
# on the offscreen platform with its own settings folder, so it never
# touches the user's configuration and never needs a display.
function(orx_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    ORX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ORX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  orx_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(home ${PROJECT_BINARY_DIR}/test-home/${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_RUNTIME_DIR=${home}/run;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  file(MAKE_DIRECTORY ${home}/run)
  file(CHMOD ${home}/run DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()
