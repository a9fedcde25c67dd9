# mrtc_program_package(NAME SUMMARY text [DESCRIPTION text] [PACKAGE package]
#                      [SCRIPT file] [SUBCOMMANDS sub...] [DEPENDS debs]
#                      [RECOMMENDS debs])
#
# Ships the program NAME in a Debian package: installs it into the bin folder
# with its manual page, made from its --help (plus one section per
# subcommand's --help), and records the package for
# cmake/debian_packages.cmake, which adds the copyright and changelog and
# describes it to CPack. The program is the target NAME, or with SCRIPT a
# script of the source tree installed as NAME.
#
# The package is NAME's own, or with PACKAGE the one another program already
# made (the install component and the package share its name). SUMMARY is the
# line after the name in the manual page and, in a package of its own, its
# short description; DESCRIPTION is added to the package's long one. Every
# such package depends on the library's (the programs load it by file name);
# DEPENDS and RECOMMENDS add others, while the libraries a program links are
# found by dpkg-shlibdeps.
set(MRTC_MANPAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/manpage.cmake)
find_program(MRTC_HELP2MAN help2man)

function(mrtc_program_package name)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
    "SUMMARY;DESCRIPTION;PACKAGE;SCRIPT;DEPENDS;RECOMMENDS" "SUBCOMMANDS")
  if(NOT arg_SUMMARY)
    message(FATAL_ERROR "mrtc_program_package(${name}): SUMMARY is needed")
  endif()
  if(NOT MRTC_INSTALL)
    return()
  endif()
  set(package ${name})
  if(arg_PACKAGE)
    set(package ${arg_PACKAGE})
  endif()
  if(arg_SCRIPT)
    get_filename_component(program ${arg_SCRIPT} ABSOLUTE)
    install(PROGRAMS ${program} DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${name} COMPONENT ${package})
  else()
    set(program $<TARGET_FILE:${name}>)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${package})
  endif()

  get_property(packages GLOBAL PROPERTY MRTC_PROGRAM_PACKAGES)
  if(NOT package IN_LIST packages)
    if(NOT arg_DESCRIPTION)
      message(FATAL_ERROR "mrtc_program_package(${name}): a package of its own needs a DESCRIPTION")
    endif()
    set_property(GLOBAL APPEND PROPERTY MRTC_PROGRAM_PACKAGES ${package})
    set_property(GLOBAL PROPERTY MRTC_PACKAGE_${package}_SUMMARY "${arg_SUMMARY}")
  endif()
  foreach(field DESCRIPTION DEPENDS RECOMMENDS)
    if(arg_${field})
      get_property(value GLOBAL PROPERTY MRTC_PACKAGE_${package}_${field})
      if(value AND field STREQUAL "DESCRIPTION")
        string(APPEND value " ")
      elseif(value)
        string(APPEND value ", ")
      endif()
      set_property(GLOBAL PROPERTY MRTC_PACKAGE_${package}_${field} "${value}${arg_${field}}")
    endif()
  endforeach()

  # The page is made by running the program, which a cross build cannot and
  # a sanitizer build (never packaged) need not.
  if(CMAKE_CROSSCOMPILING OR MRTC_SANITIZE)
    return()
  endif()
  if(NOT MRTC_HELP2MAN)
    message(WARNING "help2man not found: ${name} is installed without its manual page")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1.gz)
  string(REPLACE ";" "," subcommands "${arg_SUBCOMMANDS}")
  if(arg_SCRIPT)
    set(depends ${program})
  else()
    set(depends ${name})
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${MRTC_HELP2MAN} -DPROGRAM=${program} -DNAME=${name}
            -DSUMMARY=${arg_SUMMARY} -DVERSION=${PROJECT_VERSION} -DSUBCOMMANDS=${subcommands}
            -DOUTPUT=${page} -P ${MRTC_MANPAGE_SCRIPT}
    DEPENDS ${depends} ${MRTC_MANPAGE_SCRIPT}
    COMMENT "Manual page of ${name}"
    VERBATIM)
  add_custom_target(${name}_manpage ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${package})
endfunction()
