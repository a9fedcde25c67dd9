# Version scripts of the libraries a host loads with dlopen: written at
# configure time from the headers that name the exported symbols for the
# loaders, so that each exported name is spelled once.
#
#   mrtc_version_script(OUT HEADER...)
#
# Every name of a line `constexpr const char* k...Symbol = "name";` in the
# headers is exported from a library linked with OUT; everything else stays
# local.
function(mrtc_version_script out)
  set(names "")
  foreach(header ${ARGN})
    file(STRINGS ${header} lines REGEX "k[A-Za-z]+Symbol = \"[A-Za-z0-9_]+\";")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE ".*\"([A-Za-z0-9_]+)\";.*" "\\1" name "${line}")
      string(APPEND names "    ${name};\n")
    endforeach()
    # A name changed in a header writes the script again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  endforeach()
  if(names STREQUAL "")
    message(FATAL_ERROR "no exported symbol named in ${ARGN}")
  endif()
  file(CONFIGURE OUTPUT ${out} CONTENT "{\n  global:\n${names}  local:\n    *;\n};\n")
endfunction()
