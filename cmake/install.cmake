# Install rules, the CMake package, the pkg-config file and the Debian
# packages. Three components:
#   runtime  libmrtcplugin.so.<major> (package libmrtcplugin<major>)
#   dev      headers, the libmrtcplugin.so link, CMake package, mrtcplugin.pc
#            (package libmrtcplugin-dev)
#   mrtc-sim mrtc-sim, mrtc-node and mrtc-xmpp-server with their manual
#            pages and, in a private folder, the commLib stand-in they run on
#            (package mrtc-sim)
#   record   the recorder libmrtcrecord.so, in the same private folder
#            (package mrtcplugin-recorder)
# A program shipped through mrtc_program_package() has a package (and install
# component) of its own name, or joins another program's.
# Every package carries the licence (copyright) and the changelog.
include(CMakePackageConfigHelpers)

set(MRTC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/mrtcplugin)

install(TARGETS mrtcplugin mrtc_headers EXPORT mrtcpluginTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(FILES
  include/IPlugin.h include/sdk_cmd.h include/host_records.h include/host_service.h
  include/ap_cache.h include/tools.h include/thread_start.h include/CLocker.h
  include/thread_annotations.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/mrtcplugin COMPONENT dev)

install(EXPORT mrtcpluginTargets NAMESPACE mrtcplugin::
  DESTINATION ${MRTC_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/mrtcpluginConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/mrtcpluginConfig.cmake INSTALL_DESTINATION ${MRTC_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/mrtcpluginConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/mrtcpluginConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/mrtcpluginConfigVersion.cmake
  DESTINATION ${MRTC_CMAKE_DIR} COMPONENT dev)

# The .pc file finds its prefix from where it lies, so an install under
# another prefix (cmake --install --prefix, a package) stays right.
set(MRTC_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH MRTC_PC_TO_PREFIX /${MRTC_PC_DIR} /)
string(REGEX REPLACE "/$" "" MRTC_PC_TO_PREFIX "${MRTC_PC_TO_PREFIX}")
configure_file(cmake/mrtcplugin.pc.in ${CMAKE_CURRENT_BINARY_DIR}/mrtcplugin.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/mrtcplugin.pc DESTINATION ${MRTC_PC_DIR} COMPONENT dev)

if(TARGET mrtc-sim)
  # The stand-in is no system library: it goes to a private folder that only
  # mrtc-sim looks into.
  install(TARGETS mrtc_commlib LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/mrtcplugin COMPONENT mrtc-sim)
endif()
if(TARGET mrtcrecord)
  # A host loads it by its path in the plug-in's place, never links it: no
  # SONAME, no ldconfig. From there it loads ../libmrtcplugin.so.<major>.
  install(TARGETS mrtcrecord LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/mrtcplugin COMPONENT record)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/debian_packages.cmake)
