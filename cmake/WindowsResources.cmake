# What Windows tells about vudcheck.exe: the version information that Explorer shows
# under Properties > Details and that inventory tools read, and the application
# manifest. Every value comes from here, the version from the project itself; the
# test of the resources reads the built executable back and compares it with these
# same variables.
if(NOT WIN32)
  return()
endif()
enable_language(RC)

set(VUDCHECK_COMPANY_NAME "Vudmark Software")
set(VUDCHECK_PRODUCT_NAME "vudcheck")
set(VUDCHECK_FILE_DESCRIPTION "${PROJECT_DESCRIPTION}")
set(VUDCHECK_INTERNAL_NAME "vudcheck")
# Windows keeps a version as four numbers: 2.3.0 is 2.3.0.0.
if(PROJECT_VERSION_TWEAK STREQUAL "")
  set(VUDCHECK_VERSION_TWEAK 0)
else()
  set(VUDCHECK_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
set(VUDCHECK_WINDOWS_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${VUDCHECK_VERSION_TWEAK})

# Adds the version resource and the manifest, both made from templates in the
# target's source folder, to an executable.
function(vud_add_windows_resources target)
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.exe.manifest)
  set(resources ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  string(REPLACE "." "," VUDCHECK_WINDOWS_VERSION_NUMBERS ${VUDCHECK_WINDOWS_VERSION})
  set(VUDCHECK_MANIFEST ${manifest})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${target}.exe.manifest.in ${manifest} @ONLY)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc.in ${resources} @ONLY)
  # windres takes the manifest in whole; it has no way of telling the build so.
  set_source_files_properties(${resources} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${resources})
endfunction()
