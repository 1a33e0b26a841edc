# Writes the module's .def file from its template, with the decorated name of
# copy_layers_to_parent as the compiler emitted it into the plug-in's objects.
#
#   cmake -DNM=<nm> -DOBJECTS=<obj;obj;...> -DTEMPLATE=<def.in> -DOUTPUT=<def>
#         -P windows-exports.cmake
#
# Exactly one defined, external C++ symbol of that function must exist; none
# (the function is missing or lost its C++ linkage) or several (overloads) is
# a build error rather than a module that silently exports the wrong thing.
foreach(required NM OBJECTS TEMPLATE OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "windows-exports: ${required} not given")
  endif()
endforeach()

execute_process(COMMAND ${NM} --defined-only --extern-only --format=posix ${OBJECTS}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "windows-exports: ${NM} failed (${nm_result})")
endif()

# Posix format: "<name> <type> <value> [<size>]"; text symbols are T.
string(REGEX MATCHALL "(^|\n)_Z[A-Za-z0-9_]*21copy_layers_to_parent[A-Za-z0-9_]* T"
       matches "${symbols}")
set(names "")
foreach(match IN LISTS matches)
  string(STRIP "${match}" match)
  string(REGEX REPLACE " T$" "" name "${match}")
  list(APPEND names ${name})
endforeach()
list(REMOVE_DUPLICATES names)

list(LENGTH names count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "windows-exports: expected one C++ definition of "
                      "copy_layers_to_parent in the plug-in objects, found ${count}: ${names}")
endif()

file(READ ${TEMPLATE} text)
string(REPLACE "@COPY_LAYERS_TO_PARENT@" "${names}" text "${text}")
# Rewrite only on change so the module is not relinked for nothing.
set(previous "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} previous)
endif()
if(NOT previous STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
