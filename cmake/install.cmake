# Install rules, the CMake package, the pkg-config file and the Debian
# packages. Three components:
#   runtime  libmrtcplugin.so.<major> (package libmrtcplugin<major>)
#   dev      headers, the libmrtcplugin.so link, CMake package, mrtcplugin.pc
#            (package libmrtcplugin-dev)
#   sim      mrtc-sim and, in a private folder, the commLib stand-in it runs
#            on (package mrtc-sim)
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
  install(TARGETS mrtc_commlib LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/mrtcplugin COMPONENT sim)
  install(TARGETS mrtc-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
endif()

set(CPACK_PACKAGE_NAME mrtcplugin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "mrtcplugin maintainers <maintainers@mrtcplugin.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARGET mrtc-sim)
  list(APPEND CPACK_COMPONENTS_ALL sim)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_SIM_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmrtcplugin${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Call signalling plug-in that an IM host SDK loads (libmrtcplugin.so.${PROJECT_VERSION_MAJOR}).\n The host provides commLib (libcommlib.so); see the integration guide.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libmrtcplugin-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Development files of mrtcplugin.\n The headers host and plug-in share, the CMake package mrtcplugin and mrtcplugin.pc.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME mrtc-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_COMPONENT_SIM_DESCRIPTION
  "Call simulator for mrtcplugin.\n Runs calls between several simulated clients in virtual time and prints\n what each did and saw.")

include(CPack)
