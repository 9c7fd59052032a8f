# Libraries that Debian ships for the host only. A cross build uses GoogleTest from
# its sources and a private copy of the nlohmann-json headers: Debian's package
# configuration for the latter would put the host's /usr/include on the cross
# compiler's path.

function(tessaly_find_gtest)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest REQUIRED)
    return()
  endif()
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in /usr/src/googletest (apt-get install googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(name gtest gtest_main gmock)
    if(NOT TARGET GTest::${name})
      add_library(GTest::${name} ALIAS ${name})
    endif()
  endforeach()
endfunction()

function(tessaly_find_nlohmann_json)
  if(TARGET nlohmann_json::nlohmann_json)
    return()
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(nlohmann_json 3 REQUIRED)
    return()
  endif()
  set(copy ${CMAKE_BINARY_DIR}/third_party/include)
  file(COPY /usr/include/nlohmann DESTINATION ${copy})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${copy})
endfunction()
