# The plug-in: its code compiles once into an object library that both the
# loadable module and the in-process tests use.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(OUTFOLD_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated/plugin)

# ---- property list
# shell/pipl.py is the one description of the bytes: the Windows resource
# embeds OUTFOLD_PIPL_BIN as it is and the tests read the same file.
set(OUTFOLD_PIPL_BIN ${OUTFOLD_GENERATED_DIR}/pipl.bin)
add_custom_command(
  OUTPUT ${OUTFOLD_PIPL_BIN}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/shell/pipl.py ${OUTFOLD_PIPL_BIN}
  DEPENDS ${CMAKE_SOURCE_DIR}/shell/pipl.py
  COMMENT "Writing the property list of Outfold.aex"
  VERBATIM)
add_custom_target(outfold_pipl DEPENDS ${OUTFOLD_PIPL_BIN})

# ---- embedded scripts
# The generator checks each script's form (byte-order mark, CR LF line ends,
# the alert's fixed length) and fails the build when one is off.
set(OUTFOLD_SCRIPT_DIR ${CMAKE_SOURCE_DIR}/pipeline/scripts)
set(OUTFOLD_EMBEDDED_SCRIPTS ${OUTFOLD_GENERATED_DIR}/embedded_scripts.cpp)
add_custom_command(
  OUTPUT ${OUTFOLD_EMBEDDED_SCRIPTS}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/pipeline/embed_scripts.py
          ${OUTFOLD_EMBEDDED_SCRIPTS} ${OUTFOLD_SCRIPT_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/pipeline/embed_scripts.py ${OUTFOLD_SCRIPT_DIR}/mainPanel.jsx
          ${OUTFOLD_SCRIPT_DIR}/prefixTooLong.jsx
  COMMENT "Embedding the plug-in's scripts"
  VERBATIM)

# ---- plug-in code
file(GLOB_RECURSE OUTFOLD_PLUGIN_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/shell/*.cpp ${CMAKE_SOURCE_DIR}/pipeline/*.cpp
     ${CMAKE_SOURCE_DIR}/extract/*.cpp ${CMAKE_SOURCE_DIR}/placement/*.cpp
     ${CMAKE_SOURCE_DIR}/attributes/*.cpp ${CMAKE_SOURCE_DIR}/expressions/*.cpp)

add_library(outfold_plugin OBJECT ${OUTFOLD_PLUGIN_SOURCES} ${OUTFOLD_EMBEDDED_SCRIPTS})
target_include_directories(outfold_plugin PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(outfold_plugin PUBLIC aegp)
set_target_properties(outfold_plugin PROPERTIES POSITION_INDEPENDENT_CODE ON
                                                CXX_VISIBILITY_PRESET hidden
                                                VISIBILITY_INLINES_HIDDEN ON)
outfold_warnings(outfold_plugin)
# Programs that test the plug-in in-process also check the property list.
add_dependencies(outfold_plugin outfold_pipl)
target_compile_definitions(outfold_plugin INTERFACE OUTFOLD_PIPL_BIN_PATH="${OUTFOLD_PIPL_BIN}")

add_library(Outfold MODULE $<TARGET_OBJECTS:outfold_plugin>)
set_target_properties(Outfold PROPERTIES PREFIX "" SUFFIX ".aex")
if(NOT WIN32 AND NOT APPLE)
  # The module's calls to its own exported functions stay inside the module,
  # even when the loading program exports functions of the same name (the
  # in-process tests link the plug-in's code as well).
  target_link_options(Outfold PRIVATE -Wl,-Bsymbolic)
  # Exactly the two exports, as on Windows: the entry point and the layer copy
  # (under its decorated name); template code from the standard library stays
  # inside.
  set(OUTFOLD_EXPORT_MAP ${OUTFOLD_GENERATED_DIR}/outfold.map)
  file(WRITE ${OUTFOLD_EXPORT_MAP}
       "{\n  global:\n    EntryPointFunc;\n    _Z21copy_layers_to_parent*;\n  local:\n    *;\n};\n")
  target_link_options(Outfold PRIVATE -Wl,--version-script=${OUTFOLD_EXPORT_MAP})
  set_property(TARGET Outfold APPEND PROPERTY LINK_DEPENDS ${OUTFOLD_EXPORT_MAP})
endif()
