# The release package of the Windows build: vudcheck-<version>-win64.zip with the
# program and a short README for the people who run it.
#   cmake --build build-mingw && cd build-mingw && cpack
if(NOT WIN32 OR NOT TARGET vudcheck)
  return()
endif()

install(TARGETS vudcheck RUNTIME DESTINATION .)

# Windows users read it in Notepad, so its lines end in CR LF.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt
               ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(vud_windows_flavour win64)
else()
  set(vud_windows_flavour win32)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${vud_windows_flavour})
set(CPACK_PACKAGE_VENDOR "Vudmark")
set(CPACK_STRIP_FILES ON)
include(CPack)
