# cmake --install <build> [--prefix <folder>]: the checker and the fleet checker in bin/
# and their manual pages in share/man/man1/, where a Unix-like system looks for them. The Windows package has
# a layout of its own (Packaging.cmake).
if(WIN32)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS vudcheck vudfleet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/doc/vudcheck.1 ${PROJECT_SOURCE_DIR}/doc/vudfleet.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
