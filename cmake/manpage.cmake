# Writes a program's manual page, gzipped, from its own --help (run as
# cmake -P at build time, so the page never drifts from the program):
#   HELP2MAN     the help2man program
#   PROGRAM      the built program, or a script
#   NAME         the name it is installed under
#   SUMMARY      the one line after its name in NAME
#   VERSION      the version the page names
#   SUBCOMMANDS  comma list of subcommands with a --help of their own; each
#                becomes a section of the page, after the options
#   OUTPUT       the .1.gz file to write
cmake_minimum_required(VERSION 3.20)

# help2man names the page after the file it runs: a script kept under
# another name runs through a link of the installed name.
set(name ${NAME})
get_filename_component(file "${PROGRAM}" NAME)
if(NOT file STREQUAL name)
  get_filename_component(dir "${OUTPUT}" DIRECTORY)
  file(CREATE_LINK "${PROGRAM}" "${dir}/${name}" SYMBOLIC)
  set(PROGRAM "${dir}/${name}")
endif()
set(help2man "${HELP2MAN}" --no-info --version-string=${VERSION})

execute_process(COMMAND ${help2man} --name=${SUMMARY} ${PROGRAM}
  OUTPUT_VARIABLE page RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man could not read ${PROGRAM} --help")
endif()

string(REPLACE "," ";" subcommands "${SUBCOMMANDS}")
foreach(sub IN LISTS subcommands)
  execute_process(COMMAND ${help2man} "--help-option=${sub} --help" ${PROGRAM}
    OUTPUT_VARIABLE subpage RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man could not read ${PROGRAM} ${sub} --help")
  endif()
  # The subcommand's own page minus its title and NAME: its synopsis,
  # description and options become one section with subsections.
  string(FIND "${subpage}" ".SH SYNOPSIS" start)
  string(SUBSTRING "${subpage}" ${start} -1 body)
  string(TOUPPER "${name} ${sub}" heading)
  string(REPLACE ".SH SYNOPSIS" ".SH \"${heading}\"" body "${body}")
  string(REPLACE ".SH DESCRIPTION" ".PP" body "${body}")
  string(REPLACE ".SH OPTIONS" ".SS Options" body "${body}")
  string(APPEND page "${body}")
endforeach()

string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${page}")
# -n keeps the name and time out of the archive, as Debian wants.
execute_process(COMMAND gzip -9nf "${plain}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${plain}")
endif()
