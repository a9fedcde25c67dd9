# mrtc_program_package(TARGET SUMMARY text DESCRIPTION text
#                      [SUBCOMMANDS sub...] [DEPENDS debian-packages])
#
# Ships the program TARGET as a Debian package of the same name: installs it
# into the bin folder with its manual page (made from its --help, plus one
# section per subcommand's --help) in the install component TARGET, and
# records the package for cmake/install.cmake, which adds the copyright and
# changelog and describes it to CPack. SUMMARY is the line after the name in
# the manual page and the package's short description; DESCRIPTION is the
# package's long one (wrapped here). The package depends on the library's;
# DEPENDS adds others (the libraries it links are found by dpkg-shlibdeps).
set(MRTC_MANPAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/manpage.cmake)
find_program(MRTC_HELP2MAN help2man)

function(mrtc_program_package target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SUMMARY;DESCRIPTION;DEPENDS" "SUBCOMMANDS")
  if(NOT arg_SUMMARY OR NOT arg_DESCRIPTION)
    message(FATAL_ERROR "mrtc_program_package(${target}): SUMMARY and DESCRIPTION are needed")
  endif()
  if(NOT MRTC_INSTALL)
    return()
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${target})
  set_property(GLOBAL APPEND PROPERTY MRTC_PROGRAM_PACKAGES ${target})
  set_property(GLOBAL PROPERTY MRTC_PACKAGE_${target}_SUMMARY "${arg_SUMMARY}")
  set_property(GLOBAL PROPERTY MRTC_PACKAGE_${target}_DESCRIPTION "${arg_DESCRIPTION}")
  set_property(GLOBAL PROPERTY MRTC_PACKAGE_${target}_DEPENDS "${arg_DEPENDS}")

  # The page is made by running the program, which a cross build cannot and
  # a sanitizer build (never packaged) need not.
  if(CMAKE_CROSSCOMPILING OR MRTC_SANITIZE)
    return()
  endif()
  if(NOT MRTC_HELP2MAN)
    message(WARNING "help2man not found: ${target} is installed without its manual page")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1.gz)
  string(REPLACE ";" "," subcommands "${arg_SUBCOMMANDS}")
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${MRTC_HELP2MAN} -DPROGRAM=$<TARGET_FILE:${target}>
            -DSUMMARY=${arg_SUMMARY} -DVERSION=${PROJECT_VERSION} -DSUBCOMMANDS=${subcommands}
            -DOUTPUT=${page} -P ${MRTC_MANPAGE_SCRIPT}
    DEPENDS ${target} ${MRTC_MANPAGE_SCRIPT}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_manpage ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${target})
endfunction()
