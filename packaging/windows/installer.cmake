# The per-user Windows installer (NSIS) and the portable .zip, both made of what an
# install puts in its folder.

set(stage ${CMAKE_CURRENT_BINARY_DIR}/stage)
set(TESSALY_ICON_FILE ${CMAKE_CURRENT_SOURCE_DIR}/icons/tessaly.ico)
set(TESSALY_SETUP_FILE ${PROJECT_BINARY_DIR}/tessaly-${PROJECT_VERSION}-setup.exe)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tessaly.nsi.in tessaly.nsi @ONLY)

set(programs tessaly-convert)
if(TARGET tessaly)
  list(APPEND programs tessaly)
endif()
find_program(TESSALY_MAKENSIS makensis)
if(TESSALY_MAKENSIS)
  set(makensis ${TESSALY_MAKENSIS} -V2 -NOCD tessaly.nsi)
else()
  set(makensis ${CMAKE_COMMAND} -E echo "makensis not found: apt-get install nsis"
               COMMAND ${CMAKE_COMMAND} -E false)
endif()
add_custom_target(windows_installer
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${stage} --strip
  COMMAND ${CMAKE_COMMAND} -D stage=${stage} -D out=${CMAKE_CURRENT_BINARY_DIR}
          -P ${CMAKE_CURRENT_LIST_DIR}/staged_files.cmake
  COMMAND ${makensis}
  DEPENDS ${programs}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  COMMENT "Making ${TESSALY_SETUP_FILE}"
  VERBATIM)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME tessaly-${PROJECT_VERSION}-win64)
include(CPack)
