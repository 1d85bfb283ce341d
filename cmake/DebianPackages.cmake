# Libraries found through these two macros come from the Debian package they name, so
# a configure that cannot find one says which package to install. Every package named
# here is in tools/packages: the test package_list (tools/check_packages.cmake) fails
# when one is not, or when a find_package elsewhere bypasses these macros.

# vud_find_debian_package(DEBIAN_PACKAGE NAME [find_package arguments...]): a required
# CMake package.
macro(vud_find_debian_package vud_debian_package vud_name)
  find_package(${vud_name} ${ARGN} QUIET)
  if(NOT ${vud_name}_FOUND)
    message(FATAL_ERROR "${vud_name} not found: install the Debian package ${vud_debian_package} "
                        "(tools/setup build test installs everything the build and the tests need)")
  endif()
endmacro()

# vud_find_optional_debian_module(DEBIAN_PACKAGE PREFIX MODULE): a pkg-config module
# that some tests or benchmarks use when it is there; sets PREFIX_FOUND and the imported
# target PkgConfig::PREFIX.
macro(vud_find_optional_debian_module vud_debian_package vud_prefix vud_module)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(${vud_prefix} QUIET IMPORTED_TARGET ${vud_module})
  endif()
  if(NOT ${vud_prefix}_FOUND)
    message(STATUS "${vud_module} not found (Debian packages pkg-config and ${vud_debian_package}): "
                   "what needs it skips and says why")
  endif()
endmacro()
