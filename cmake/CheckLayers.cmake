# SPDX-License-Identifier: MIT
# Build-time check of the layering: the parameter, measurement and tool
# windows (src/params, src/measure, src/tools) and the host interface
# (src/host) reach the main window only through the host interface, so
# none of their files may include a header of src/app.
#
#   cmake -DSOURCE_DIR=<project root> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.22)

file(GLOB app_headers RELATIVE ${SOURCE_DIR}/src/app ${SOURCE_DIR}/src/app/*.h)
set(violations "")
foreach(folder host params measure tools)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" header "${line}")
      get_filename_component(name "${header}" NAME)
      if(header MATCHES "(^|/)app/" OR name IN_LIST app_headers)
        file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
        string(APPEND violations "  ${where}: #include \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "Subsystem windows must reach the main window through the host "
                      "interface (THost.h), not by including src/app:\n${violations}")
endif()
