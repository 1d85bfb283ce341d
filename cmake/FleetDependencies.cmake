# The fleet checker's libraries: two header-only ones, CLI11 (options) and nlohmann/json
# (JSON Lines), and a digest library (below), from Debian's packages of them (group
# build of tools/packages; the Windows builds' digest library from group windows). A
# native build finds
# them as packages. A Windows cross build looks in the build host's headers too, but
# takes only those two folders from there (copied into the build tree), so that no other
# host header, nor any host library, reaches a Windows program.
if(TARGET vud_cli11)
  return()
endif()

add_library(vud_cli11 INTERFACE)
add_library(vud_nlohmann_json INTERFACE)

include(DebianPackages)

# SHA-256 of application files (their digests against a reference build): libgcrypt,
# one well-kept implementation for Linux and both Windows builds alike, where each
# build takes its static archive, so that vudfleet stays one executable with no library
# beside it. Its error library, libgpg-error, talks to sockets on Windows (Winsock).
# The checker, vudcheck, never links it.
if(WIN32)
  vud_find_debian_static_library(libgpg-error-mingw-w64-dev vud_gpg_error gpg-error.h gpg-error ws2_32)
  vud_find_debian_static_library(libgcrypt-mingw-w64-dev vud_gcrypt gcrypt.h gcrypt vud_gpg_error)
else()
  vud_find_debian_static_library(libgpg-error-dev vud_gpg_error gpg-error.h gpg-error)
  vud_find_debian_static_library(libgcrypt20-dev vud_gcrypt gcrypt.h gcrypt vud_gpg_error)
endif()

if(NOT CMAKE_CROSSCOMPILING)
  vud_find_debian_package(libcli11-dev CLI11 CONFIG)
  vud_find_debian_package(nlohmann-json3-dev nlohmann_json 3.9)
  target_link_libraries(vud_cli11 INTERFACE CLI11::CLI11)
  target_link_libraries(vud_nlohmann_json INTERFACE nlohmann_json::nlohmann_json)
  return()
endif()

set(vud_host_headers ${PROJECT_BINARY_DIR}/host-headers)
vud_find_debian_headers(libcli11-dev vud_CLI_root CLI)
vud_find_debian_headers(nlohmann-json3-dev vud_nlohmann_root nlohmann)
foreach(vud_header_folder CLI nlohmann)
  file(COPY ${vud_${vud_header_folder}_root}/${vud_header_folder} DESTINATION ${vud_host_headers})
endforeach()
target_include_directories(vud_cli11 SYSTEM INTERFACE ${vud_host_headers})
target_include_directories(vud_nlohmann_json SYSTEM INTERFACE ${vud_host_headers})
