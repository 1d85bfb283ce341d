# The Windows Installer package (.msi) of a Windows build, for sites that deploy
# software through Group Policy, Intune or Configuration Manager. Included by the
# packaging step (ReleaseArchive.cmake), which makes one beside each release ZIP from
# the same files, and by the test that installs it under Wine.
#
# wixl builds it from packaging/vudcheck.wxs.in; msibuild (msitools)
# then adds what wixl cannot express: the system PATH entry (wixl has no Environment
# element), the Vudmark folder as one to remove once empty (wixl puts a RemoveFolder in
# its component's own folder, whatever folder it names), and the package code (wixl
# draws one at random, whatever the source says).
#
# The package is per-machine, into Program Files\Vudmark\vudcheck (the 32-bit one into
# Program Files (x86) on 64-bit Windows), and puts that folder on the system PATH.
#
# The same files, version and release time give the same bytes:
# - the product code comes from the version and the architecture, the package code
#   from the whole package's contents, each component's code from the architecture
#   and the file's name (name-based UUIDs under the namespace below), never drawn at
#   random as wixl would;
# - wixl stamps the clock's time into the summary (created, last saved) and has no
#   way to be told another: it runs under faketime, stopped at the release time;
# - the cabinet inside records each file's time, in the local time zone: the files
#   get the release time, and wixl runs in UTC.
cmake_minimum_required(VERSION 3.25)

# Never change it: Windows Installer knows every version of vudcheck by this code and
# replaces one with another only when they share it. One for both architectures, so
# that a later version of either replaces any earlier one.
set(VUD_MSI_UPGRADE_CODE "9A7A3F79-1BD0-4F21-BDFA-284A10795CAD")
set(vud_msi_namespace "1A4D8C0A-B2A1-49FE-85A3-70D9FD1669CF")

include(${CMAKE_CURRENT_LIST_DIR}/DebianPackages.cmake)

# Whether the tools are there; <result> is empty when they are, else names what is missing.
# With MODE (WARNING, FATAL_ERROR), says so for each missing tool, with the package
# (group release of tools/packages) and <consequence>.
#   vud_windows_installer_tools_missing(<result> [<MODE> <consequence>])
function(vud_windows_installer_tools_missing result)
  set(missing "")
  foreach(tool_and_package IN ITEMS wixl:wixl msibuild:msitools faketime:faketime)
    string(REPLACE ":" ";" tool_and_package "${tool_and_package}")
    list(GET tool_and_package 0 tool)
    list(GET tool_and_package 1 package)
    string(TOUPPER "VUD_${tool}" variable)
    find_program(${variable} ${tool})
    if(NOT ${variable})
      list(APPEND missing ${tool})
      if(ARGC GREATER 1)
        vud_debian_package_missing(${package} ${ARGV1} "${tool} not found, ${ARGV2}")
      endif()
    endif()
  endforeach()
  string(JOIN ", " missing ${missing})
  set(${result} "${missing}" PARENT_SCOPE)
endfunction()

# A name-based UUID: the same name gives the same code, on every machine.
function(vud_msi_code result name)
  string(UUID code NAMESPACE ${vud_msi_namespace} NAME "${name}" TYPE SHA1 UPPER)
  set(${result} "${code}" PARENT_SCOPE)
endfunction()

# Makes <output> from the files <files> (names, no folders) of <folder>.
#   vud_make_windows_installer(FOLDER <folder> FILES <names...> VERSION <major.minor.patch>
#     ARCH <x64|x86> RELEASE_TIME <seconds since 1970> TEMPLATE <.wxs.in> SCRATCH <folder>
#     PRODUCT_NAME <name> MANUFACTURER <name> DESCRIPTION <text> OUTPUT <.msi>)
function(vud_make_windows_installer)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
    "FOLDER;VERSION;ARCH;RELEASE_TIME;TEMPLATE;SCRATCH;PRODUCT_NAME;MANUFACTURER;DESCRIPTION;OUTPUT" "FILES")
  vud_windows_installer_tools_missing(missing FATAL_ERROR "so ${arg_OUTPUT} cannot be made")
  if(arg_ARCH STREQUAL "x64")
    set(VUD_MSI_PROGRAM_FILES ProgramFiles64Folder)
    set(VUD_MSI_WIN64 yes)
    set(platform x64)
  elseif(arg_ARCH STREQUAL "x86")
    set(VUD_MSI_PROGRAM_FILES ProgramFilesFolder)
    set(VUD_MSI_WIN64 no)
    set(platform Intel)
  else()
    message(FATAL_ERROR "ARCH is '${arg_ARCH}': x64 or x86")
  endif()
  # Windows Installer compares the first three fields only, the third up to 65535.
  if(NOT arg_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "VERSION is '${arg_VERSION}': major.minor.patch")
  endif()

  set(VUD_MSI_VERSION ${arg_VERSION})
  set(VUD_MSI_PRODUCT_NAME "${arg_PRODUCT_NAME}")
  set(VUD_MSI_MANUFACTURER "${arg_MANUFACTURER}")
  set(VUD_MSI_DESCRIPTION "${arg_DESCRIPTION}")
  vud_msi_code(VUD_MSI_PRODUCT_CODE "product ${arg_ARCH} ${arg_VERSION}")
  vud_msi_code(VUD_MSI_PATH_COMPONENT_CODE "component ${arg_ARCH} system PATH")

  # A private copy of the files, each with the release time that the cabinet records.
  set(stage "${arg_SCRATCH}/files")
  file(REMOVE_RECURSE "${arg_SCRATCH}")
  file(MAKE_DIRECTORY "${stage}")
  set(components "")
  set(component_refs "")
  set(contents "")
  list(SORT arg_FILES)
  foreach(name IN LISTS arg_FILES)
    if(name MATCHES "[/\\\\]" OR NOT EXISTS "${arg_FOLDER}/${name}" OR IS_DIRECTORY "${arg_FOLDER}/${name}")
      message(FATAL_ERROR "${arg_FOLDER}/${name} is not a file of that folder: the package has one folder")
    endif()
    file(COPY "${arg_FOLDER}/${name}" DESTINATION "${stage}")
    file(SHA256 "${stage}/${name}" sum)
    string(APPEND contents "${sum}  ${name}\n")
    string(MAKE_C_IDENTIFIER "${name}" id)
    vud_msi_code(code "component ${arg_ARCH} ${name}")
    list(APPEND components
      "            <Component Id=\"${id}\" Guid=\"${code}\" Win64=\"${VUD_MSI_WIN64}\">"
      "              <File Id=\"${id}\" Name=\"${name}\" Source=\"files/${name}\" KeyPath=\"yes\"/>"
      "            </Component>")
    list(APPEND component_refs "      <ComponentRef Id=\"${id}\"/>")
  endforeach()
  string(JOIN "\n" VUD_MSI_COMPONENTS ${components})
  string(JOIN "\n" VUD_MSI_COMPONENT_REFS ${component_refs})
  execute_process(COMMAND touch -d "@${arg_RELEASE_TIME}" -- ${arg_FILES}
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)

  configure_file("${arg_TEMPLATE}" "${arg_SCRATCH}/package.wxs" @ONLY)
  # Another package, another code: Windows Installer takes two packages with one code
  # for the same, and would repair from the one it cached.
  file(READ "${arg_SCRATCH}/package.wxs" source)
  string(SHA256 package_hash "${source}${contents}")
  vud_msi_code(package_code "package ${package_hash}")

  set(unsigned "${arg_SCRATCH}/package.msi")
  # The clock stands at the release time while wixl runs: given "@<seconds>", faketime
  # only starts it there, and a wixl that took a second longer on a busy machine
  # stamped the next second. A plain date and time (-f) stops it.
  set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} "${arg_RELEASE_TIME}")
  string(TIMESTAMP release_clock "%Y-%m-%d %H:%M:%S" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
  # faketime's own library must not be in the way when the whole packaging runs under
  # another faketime (as the reproducibility check's second build does).
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=LD_PRELOAD --unset=FAKETIME TZ=UTC0
            "${VUD_FAKETIME}" -f "${release_clock}"
            "${VUD_WIXL}" --arch ${arg_ARCH} --output "${unsigned}" package.wxs
    WORKING_DIRECTORY "${arg_SCRATCH}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR NOT EXISTS "${unsigned}")
    message(FATAL_ERROR "wixl could not make ${unsigned} (status ${status}):\n${output}")
  endif()

  # The system PATH entry: "=-*PATH" is the system's PATH, set on install and taken out
  # on removal; "[~];" adds the folder at its end rather than replacing it. The actions
  # that write and remove it come at the places Windows Installer documents for them.
  # A folder in CreateFolder is removed on uninstall when it is empty. The summary
  # (-s): subject, author, platform and language, package code.
  execute_process(
    COMMAND "${VUD_MSIBUILD}" "${unsigned}"
      -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
      -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('SystemPath', '=-*PATH', '[~];[INSTALLFOLDER]', 'SystemPath')"
      -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
      -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
      -q "INSERT INTO `CreateFolder` (`Directory_`, `Component_`) VALUES ('VudmarkFolder', 'SystemPath')"
      -s "${arg_DESCRIPTION}" "${arg_MANUFACTURER}" "${platform};1033" "{${package_code}}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "msibuild could not finish ${unsigned} (status ${status}):\n${output}")
  endif()
  file(COPY_FILE "${unsigned}" "${arg_OUTPUT}")
endfunction()
