# Windows-only parts of the build: the module's property-list resource and its
# export table, and the wine prefix the cross-built programs run in.
enable_language(RC)

# ---- property-list resource
# The bytes are the plug-in's own description (OUTFOLD_PIPL_BIN, made by the
# outfold_pipl target); the resource script only places them.
if(NOT DEFINED OUTFOLD_PIPL_BIN OR NOT TARGET outfold_pipl)
  message(FATAL_ERROR "The property-list bytes (OUTFOLD_PIPL_BIN, target outfold_pipl) "
                      "must be defined before cmake/windows.cmake is included")
endif()
set(OUTFOLD_RC ${CMAKE_BINARY_DIR}/outfold.rc)
configure_file(${CMAKE_SOURCE_DIR}/shell/outfold.rc.in ${OUTFOLD_RC} @ONLY)
target_sources(Outfold PRIVATE ${OUTFOLD_RC})
set_source_files_properties(${OUTFOLD_RC} PROPERTIES OBJECT_DEPENDS ${OUTFOLD_PIPL_BIN})
add_dependencies(Outfold outfold_pipl)

# ---- exports
# Exactly the entries of the .def file: without one, the GNU linker would
# export every dllexport symbol under ordinals of its own choosing.
set(OUTFOLD_DEF ${CMAKE_BINARY_DIR}/outfold.def)
add_custom_command(
  OUTPUT ${OUTFOLD_DEF}
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} "-DOBJECTS=$<TARGET_OBJECTS:outfold_plugin>"
          -DTEMPLATE=${CMAKE_SOURCE_DIR}/shell/outfold.def.in -DOUTPUT=${OUTFOLD_DEF}
          -P ${CMAKE_SOURCE_DIR}/scripts/windows-exports.cmake
  DEPENDS outfold_plugin $<TARGET_OBJECTS:outfold_plugin> ${CMAKE_SOURCE_DIR}/shell/outfold.def.in
          ${CMAKE_SOURCE_DIR}/scripts/windows-exports.cmake
  COMMENT "Writing the export table of Outfold.aex"
  VERBATIM)
target_sources(Outfold PRIVATE ${OUTFOLD_DEF})

# ---- wine prefix
# Created once, at build time, inside the build folder (see the toolchain).
set(OUTFOLD_WINE_STAMP ${OUTFOLD_WINEPREFIX}/.outfold-ready)
add_custom_command(
  OUTPUT ${OUTFOLD_WINE_STAMP}
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${OUTFOLD_WINEPREFIX} ${OUTFOLD_WINE_STAMP}
  COMMENT "Creating the wine prefix ${OUTFOLD_WINEPREFIX}"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS ${OUTFOLD_WINE_STAMP})

# ---- once every directory is read
# Steps that need targets made after this file is included.
function(outfold_windows_finish)
  outfold_windows_debug_capture()
  outfold_windows_program_list()
endfunction()

# The host records OutputDebugStringA lines through a handler that nothing
# calls by name (host/module/debug_capture_win.cpp); naming its anchor as
# undefined makes every program that links the host link that file too.
function(outfold_windows_debug_capture)
  if(TARGET aehost)
    target_link_options(aehost INTERFACE "LINKER:--undefined=host_debug_capture_anchor")
  endif()
endfunction()

# The Windows test program checks every program of the build (after the
# whole build, as CTest runs it; no build dependency, so one program failing
# to build does not hold back the others' checks). Every program needs the
# wine prefix before it can run.
function(outfold_windows_program_list)
  set(programs "")
  foreach(dir tools tests)
    get_directory_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        list(APPEND programs "$<TARGET_FILE:${target}>")
        # Whatever runs a program runs it in the prepared prefix.
        add_dependencies(${target} wine_prefix)
      endif()
    endforeach()
  endforeach()
  if(TARGET windows_tests)
    # '|' separates the paths: a ';' would split the definition itself.
    list(JOIN programs "|" joined)
    target_compile_definitions(windows_tests PRIVATE OUTFOLD_WINDOWS_PROGRAMS="${joined}")
  endif()
endfunction()

cmake_language(DEFER CALL outfold_windows_finish)
