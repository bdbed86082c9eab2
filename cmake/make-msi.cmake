# Makes the Windows Installer package of a staged install of the Windows
# programs (the tree the zip bundle holds) with wixl, from msitools:
#
#   cmake -DSTAGE=DIR -DVERSION=X.Y.Z -DOUTPUT=FILE.msi [-DWIXL=wixl] -P cmake/make-msi.cmake
#
# packaging/windows/korimo.wxs is the product. This script writes the fragment
# of the files (OUTPUT with .files.wxs for .msi): one component per file, whose
# GUID wixl derives from the file's path below INSTALLDIR, so a file keeps its
# component from one version to the next. The Start menu entries belong to the
# components of korimo.exe and demo/korimo-demo.exe, so they come and go with
# those files. The build's `msi` target (cmake/windows-msi.cmake) stages the
# install and runs this; scripts/msi-tests.sh runs it again with a lower
# VERSION to test an upgrade.

cmake_minimum_required(VERSION 3.25)

# The UpgradeCode of every version. Never change it: a package with another one
# installs beside the old version instead of replacing it.
set(upgrade_code 1D59C04C-F06A-4AD7-BAEB-DABF417322DC)

# The Start menu entries: file below INSTALLDIR, name, description.
set(shortcuts
  "korimo.exe|Korimo Configuration|Read and store the engraver's configuration"
  "demo/korimo-demo.exe|Korimo demo|The tool on a simulated engraver, for training")

foreach(var STAGE VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make-msi: -D${var}=... is missing")
  endif()
endforeach()
if(NOT DEFINED WIXL)
  set(WIXL wixl)
endif()
# Windows Installer compares major.minor.build, with major and minor below 256
# and build below 65536.
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "make-msi: the version \"${VERSION}\" is not three numbers major.minor.build")
endif()
if(CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255 OR CMAKE_MATCH_3 GREATER 65535)
  message(FATAL_ERROR "make-msi: the version \"${VERSION}\" is out of range: major and minor "
                      "go up to 255, build up to 65535")
endif()
if(NOT IS_DIRECTORY "${STAGE}")
  message(FATAL_ERROR "make-msi: the staged install ${STAGE} is not a folder")
endif()
file(REAL_PATH "${STAGE}" stage)
get_filename_component(OUTPUT "${OUTPUT}" ABSOLUTE)
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
string(UUID product_code NAMESPACE ${upgrade_code} NAME "korimo ${VERSION}" TYPE SHA1 UPPER)

# msi_id(KIND PATH OUT): an identifier for the MSI tables (letters, digits,
# underscores and periods, at most 72 characters): KIND_PATH where that fits
# and is still free, else KIND_ and the MD5 of the path.
function(msi_id kind path out)
  string(MAKE_C_IDENTIFIER "${path}" id)
  set(id "${kind}_${id}")
  string(LENGTH "${id}" length)
  get_property(used GLOBAL PROPERTY msi_ids)
  if(length GREATER 72 OR id IN_LIST used)
    string(MD5 hash "${path}")
    set(id "${kind}_${hash}")
  endif()
  set_property(GLOBAL APPEND PROPERTY msi_ids ${id})
  set(${out} ${id} PARENT_SCOPE)
endfunction()

function(xml_escape text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# msi_directory(PATH DIRECTORY_ID INDENT): the XML of the folder STAGE/PATH in
# dir_xml, its subfolders as nested Directory elements.
function(msi_directory path directory_id indent)
  set(xml "")
  set(prefix "")
  if(NOT path STREQUAL "")
    set(prefix "${path}/")
  endif()
  file(GLOB entries LIST_DIRECTORIES true RELATIVE "${stage}/${path}" "${stage}/${path}/*")
  list(SORT entries)
  foreach(name IN LISTS entries)
    set(file "${prefix}${name}")
    xml_escape("${name}" xml_name)
    if(IS_DIRECTORY "${stage}/${file}")
      msi_id(d "${file}" id)
      msi_directory("${file}" ${id} "${indent}  ")
      string(APPEND xml "${indent}<Directory Id=\"${id}\" Name=\"${xml_name}\">\n"
                        "${dir_xml}${indent}</Directory>\n")
      continue()
    endif()
    msi_id(c "${file}" component)
    msi_id(f "${file}" file_id)
    set_property(GLOBAL APPEND PROPERTY msi_components ${component})
    xml_escape("${file}" source)
    string(APPEND xml "${indent}<Component Id=\"${component}\" Guid=\"*\" Win64=\"yes\">\n"
                      "${indent}  <File Id=\"${file_id}\" Source=\"${source}\" KeyPath=\"yes\"")
    set(entries_here "")
    foreach(shortcut IN LISTS shortcuts)
      string(REPLACE "|" ";" fields "${shortcut}")
      list(GET fields 0 target)
      if(target STREQUAL file)
        list(GET fields 1 title)
        list(GET fields 2 description)
        msi_id(s "${title}" shortcut_id)
        xml_escape("${description}" description)
        string(APPEND entries_here
          "${indent}    <Shortcut Id=\"${shortcut_id}\" Directory=\"ProgramMenuFolder\" "
          "Name=\"${title}\" Description=\"${description}\" Target=\"[#${file_id}]\" "
          "WorkingDirectory=\"${directory_id}\" Icon=\"korimo.ico\"/>\n")
        set_property(GLOBAL APPEND PROPERTY msi_shortcut_targets "${file}")
      endif()
    endforeach()
    if(entries_here STREQUAL "")
      string(APPEND xml "/>\n")
    else()
      string(APPEND xml ">\n${entries_here}${indent}  </File>\n")
    endif()
    string(APPEND xml "${indent}</Component>\n")
  endforeach()
  set(dir_xml "${xml}" PARENT_SCOPE)
endfunction()

msi_directory("" INSTALLDIR "      ")
get_property(components GLOBAL PROPERTY msi_components)
get_property(shortcut_targets GLOBAL PROPERTY msi_shortcut_targets)
foreach(shortcut IN LISTS shortcuts)
  string(REPLACE "|" ";" fields "${shortcut}")
  list(GET fields 0 target)
  if(NOT target IN_LIST shortcut_targets)
    message(FATAL_ERROR "make-msi: ${stage} has no ${target} for its Start menu entry")
  endif()
endforeach()

set(refs "")
foreach(component IN LISTS components)
  string(APPEND refs "      <ComponentRef Id=\"${component}\"/>\n")
endforeach()
string(REGEX REPLACE "\\.msi$" "" base "${OUTPUT}")
set(fragment "${base}.files.wxs")
file(WRITE "${fragment}" "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<!-- Written by cmake/make-msi.cmake from ${stage}: every file of the tool. -->
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Fragment>
    <DirectoryRef Id=\"INSTALLDIR\">
${dir_xml}    </DirectoryRef>
  </Fragment>
  <Fragment>
    <ComponentGroup Id=\"ToolFiles\">
${refs}    </ComponentGroup>
  </Fragment>
</Wix>
")

# wixl takes only relative paths: it runs in the staged folder.
file(RELATIVE_PATH icon "${stage}" "${source_dir}/packaging/icons/korimo.ico")
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${WIXL}" --arch x64 --output "${OUTPUT}"
          --define "Version=${VERSION}" --define "ProductCode=${product_code}"
          --define "UpgradeCode=${upgrade_code}"
          --define "Icon=${icon}"
          "${source_dir}/packaging/windows/korimo.wxs" "${fragment}"
  WORKING_DIRECTORY "${stage}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS "${OUTPUT}")
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "make-msi: wixl failed (${result}) on ${fragment}")
endif()
list(LENGTH components count)
message(STATUS "make-msi: ${OUTPUT} (version ${VERSION}, product code {${product_code}}, "
               "${count} files)")
