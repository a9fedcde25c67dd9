# The Debian packages (cpack -G DEB): libmrtcplugin<major>, libmrtcplugin-dev
# and one per program shipped with mrtc_program_package(). Configured with
# -DCMAKE_INSTALL_PREFIX=/usr, the library and its pkg-config and CMake files
# land in the multiarch folder (lib/<triplet>), where Debian's own libraries
# and cross builds look; scripts/check_debian.sh builds them so and holds them
# to lintian.
set(MRTC_DEBIAN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/debian)
set(MRTC_DEBIAN_BUILD ${CMAKE_CURRENT_BINARY_DIR}/debian)

set(CPACK_PACKAGE_NAME mrtcplugin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "mrtcplugin maintainers <maintainers@mrtcplugin.invalid>")
set(CPACK_GENERATOR DEB)
# Each package's summary is the first line of its own description. CPack puts
# CPACK_PACKAGE_DESCRIPTION_SUMMARY before that line unless it is CPack's own
# default, so it is set to that default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Binaries go in stripped; their debug symbols are left out.
set(CPACK_STRIP_FILES ON)
# The control files (the ldconfig trigger) get the modes dpkg expects.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The programs depend on the libraries they link, at the versions
# dpkg-shlibdeps finds. A program that runs on the commLib stand-in but does
# not carry it finds it, while packaging, where it is built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

# What every package carries in /usr/share/doc/<package>: the licence in the
# machine-readable form, taken from LICENSE, and the changelog.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE ${MRTC_DEBIAN_SOURCE}/changelog ${MRTC_DEBIAN_SOURCE}/copyright.in)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE MRTC_COPYRIGHT REGEX "^Copyright" LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright (\\(c\\) )?" "" MRTC_COPYRIGHT "${MRTC_COPYRIGHT}")
file(READ ${PROJECT_SOURCE_DIR}/LICENSE MRTC_LICENSE_BODY)
string(FIND "${MRTC_LICENSE_BODY}" "Permission" start)
string(SUBSTRING "${MRTC_LICENSE_BODY}" ${start} -1 MRTC_LICENSE_BODY)
string(STRIP "${MRTC_LICENSE_BODY}" MRTC_LICENSE_BODY)
# There each line of the text starts with a space, and an empty one is " .".
string(REPLACE "\n\n" "\n.\n" MRTC_LICENSE_BODY "${MRTC_LICENSE_BODY}")
string(REPLACE "\n" "\n " MRTC_LICENSE_BODY " ${MRTC_LICENSE_BODY}")
configure_file(${MRTC_DEBIAN_SOURCE}/copyright.in ${MRTC_DEBIAN_BUILD}/copyright @ONLY)
# Debian wants it compressed at the highest level, without name or time.
execute_process(COMMAND gzip -9n -c ${MRTC_DEBIAN_SOURCE}/changelog
  OUTPUT_FILE ${MRTC_DEBIAN_BUILD}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

# Wraps TEXT into the lines of a Debian long description into OUT: CPack
# starts each with a space, and the whole line stays within 80 columns.
function(mrtc_debian_wrap out text)
  # A semicolon would split the list of words.
  string(ASCII 1 semicolon)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REGEX MATCHALL "[^ \t\n]+" words "${text}")
  set(lines "")
  set(line "")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" width)
    if(line AND width GREATER 79)
      string(APPEND lines "\n${line}")
      set(line "${word}")
    elseif(line)
      string(APPEND line " ${word}")
    else()
      set(line "${word}")
    endif()
  endforeach()
  string(APPEND lines "\n${line}")
  string(REPLACE "${semicolon}" ";" lines "${lines}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# mrtc_debian_package(COMPONENT PACKAGE SECTION SUMMARY DESCRIPTION): the
# install component COMPONENT becomes the Debian package PACKAGE.
macro(mrtc_debian_package component package section summary description)
  string(TOUPPER ${component} upper)
  list(APPEND CPACK_COMPONENTS_ALL ${component})
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${section})
  mrtc_debian_wrap(long "${description}")
  set(CPACK_COMPONENT_${upper}_DESCRIPTION "${summary}${long}")
  install(FILES ${MRTC_DEBIAN_BUILD}/copyright ${MRTC_DEBIAN_BUILD}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endmacro()

set(CPACK_COMPONENTS_ALL "")
set(MRTC_RUNTIME_PACKAGE libmrtcplugin${PROJECT_VERSION_MAJOR})
mrtc_debian_package(runtime ${MRTC_RUNTIME_PACKAGE} libs
  "call signalling plug-in that an IM host SDK loads"
  "The library libmrtcplugin.so.${PROJECT_VERSION_MAJOR}: multi-party call signalling
   carried as ordinary IM messages. The host provides commLib (libcommlib.so);
   see the integration guide.")
# It links the host's commLib, which no package provides: its dependencies
# are named here rather than found.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
# ldconfig runs once the library is installed or removed (the trigger), and
# a program built against libmrtcplugin.so.<major> depends on this package at
# this version or later (shlibs). The shlibs file is written here, not by
# CPack: CPack's would come with maintainer scripts that call ldconfig
# themselves, which the trigger replaces.
file(WRITE ${MRTC_DEBIAN_BUILD}/shlibs
  "libmrtcplugin ${PROJECT_VERSION_MAJOR} ${MRTC_RUNTIME_PACKAGE} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${MRTC_DEBIAN_SOURCE}/triggers ${MRTC_DEBIAN_BUILD}/shlibs)

mrtc_debian_package(dev libmrtcplugin-dev libdevel
  "development files of mrtcplugin"
  "The headers host and plug-in share, the link libmrtcplugin.so, the CMake
   package mrtcplugin and mrtcplugin.pc.")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)

if(TARGET mrtcrecord)
  mrtc_debian_package(record mrtcplugin-recorder libs
    "records what crosses between a host and mrtcplugin"
    "The library libmrtcrecord.so, which a host loads in the plug-in's place to
     record one user's calls: it loads the real plug-in and writes every crossing
     between the two to a trace file, which mrtc-sim replay runs again. See the
     integration guide, \"Recording a call\".")
  # Like the plug-in it links the host's commLib; and it stands in for this
  # very version of the plug-in.
  set(CPACK_DEBIAN_RECORD_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_RECORD_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  set(CPACK_COMPONENT_RECORD_DEPENDS runtime)
endif()

get_property(programs GLOBAL PROPERTY MRTC_PROGRAM_PACKAGES)
foreach(package IN LISTS programs)
  get_property(summary GLOBAL PROPERTY MRTC_PACKAGE_${package}_SUMMARY)
  get_property(description GLOBAL PROPERTY MRTC_PACKAGE_${package}_DESCRIPTION)
  mrtc_debian_package(${package} ${package} devel "${summary}" "${description}")
  string(TOUPPER ${package} upper)
  # The programs load the library by its file name, so dpkg-shlibdeps cannot
  # see that they need it.
  set(CPACK_COMPONENT_${upper}_DEPENDS runtime)
  get_property(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS GLOBAL PROPERTY MRTC_PACKAGE_${package}_DEPENDS)
  get_property(CPACK_DEBIAN_${upper}_PACKAGE_RECOMMENDS GLOBAL PROPERTY MRTC_PACKAGE_${package}_RECOMMENDS)
endforeach()

include(CPack)
