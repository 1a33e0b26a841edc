# The release package for Windows users: Outfold-<version>-win64.zip holding
# Outfold.aex and INSTALL.txt, made by `cmake --build --preset windows
# --target package`.
configure_file(${CMAKE_SOURCE_DIR}/docs/INSTALL.txt.in ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY
               NEWLINE_STYLE CRLF)

# Only this component goes into the zip, whatever else may define install rules.
install(TARGETS Outfold LIBRARY DESTINATION . COMPONENT outfold)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION . COMPONENT outfold)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Outfold)
set(CPACK_PACKAGE_VENDOR ${OUTFOLD_VENDOR})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "Outfold-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENTS_ALL outfold)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
