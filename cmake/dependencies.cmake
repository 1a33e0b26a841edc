# Third-party pieces, all from Debian packages.
#  - duktape: the script engine, built from the amalgamated source Debian
#    ships (see below).
#  - nlohmann_json, CLI11: header-only.
#  - GoogleTest: the system package natively; built from /usr/src/googletest
#    for Windows.
if(WIN32)
  # Cross build: the build machine's header-only packages, seen through a
  # folder that holds nothing else (all of /usr/include would shadow the
  # Windows C library headers).
  set(OUTFOLD_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
  file(MAKE_DIRECTORY ${OUTFOLD_HEADER_ONLY_DIR})
  file(CREATE_LINK /usr/include/nlohmann ${OUTFOLD_HEADER_ONLY_DIR}/nlohmann SYMBOLIC)
  file(CREATE_LINK /usr/include/CLI ${OUTFOLD_HEADER_ONLY_DIR}/CLI SYMBOLIC)
  foreach(package nlohmann_json::nlohmann_json CLI11::CLI11)
    add_library(${package} INTERFACE IMPORTED)
    target_include_directories(${package} SYSTEM INTERFACE ${OUTFOLD_HEADER_ONLY_DIR})
  endforeach()
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 CONFIG QUIET)
  if(NOT CLI11_FOUND)
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
  endif()
endif()

# duktape: compiled from the amalgamated source Debian ships, in every build,
# with a configuration that adds the engine's execution-timeout check (the
# prebuilt library has none). The check calls outfold_duk_exec_timeout
# (duktape/exec_timeout.c), which the expression evaluator arms around each
# run so that a looping expression ends with an error.
set(OUTFOLD_DUKTAPE_DIR ${CMAKE_BINARY_DIR}/duktape)
file(MAKE_DIRECTORY ${OUTFOLD_DUKTAPE_DIR})
file(READ /usr/share/duktape/duk_config.h OUTFOLD_DUK_CONFIG)
foreach(switch DUK_USE_INTERRUPT_COUNTER DUK_USE_EXEC_TIMEOUT_CHECK)
  string(FIND "${OUTFOLD_DUK_CONFIG}" "#undef ${switch}\n" OUTFOLD_DUK_AT)
  if(OUTFOLD_DUK_AT EQUAL -1)
    message(FATAL_ERROR "duk_config.h no longer has '#undef ${switch}'")
  endif()
endforeach()
string(REPLACE "#undef DUK_USE_INTERRUPT_COUNTER\n" "#define DUK_USE_INTERRUPT_COUNTER\n"
       OUTFOLD_DUK_CONFIG "${OUTFOLD_DUK_CONFIG}")
string(REPLACE "#undef DUK_USE_EXEC_TIMEOUT_CHECK\n"
       "#if defined(__cplusplus)\nextern \"C\"\n#endif\nint outfold_duk_exec_timeout(void *udata);\n#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) outfold_duk_exec_timeout((udata))\n"
       OUTFOLD_DUK_CONFIG "${OUTFOLD_DUK_CONFIG}")
file(CONFIGURE OUTPUT ${OUTFOLD_DUKTAPE_DIR}/duk_config.h CONTENT "${OUTFOLD_DUK_CONFIG}" @ONLY)
foreach(part duktape.c duktape.h)
  configure_file(/usr/share/duktape/${part} ${OUTFOLD_DUKTAPE_DIR}/${part} COPYONLY)
endforeach()
add_library(duktape STATIC ${OUTFOLD_DUKTAPE_DIR}/duktape.c
                           ${CMAKE_CURRENT_LIST_DIR}/duktape/exec_timeout.c)
target_include_directories(duktape SYSTEM PUBLIC ${OUTFOLD_DUKTAPE_DIR} ${CMAKE_CURRENT_LIST_DIR}/duktape)
set_target_properties(duktape PROPERTIES C_STANDARD 11)
if(NOT WIN32)
  target_link_libraries(duktape PUBLIC m)
endif()
# Third-party code: no warnings, and no undefined-behaviour traps in the
# sanitizer builds (the engine relies on a few implementation-defined forms).
# Nor address checks, and optimised even in debug builds: instrumented and
# unoptimised, the interpreter's frames grow tenfold, and a script recursing
# to the engine's native call limit would overflow the thread's stack.
set_source_files_properties(
  ${OUTFOLD_DUKTAPE_DIR}/duktape.c PROPERTIES COMPILE_OPTIONS
  "-w;$<$<C_COMPILER_ID:GNU,Clang>:-fno-sanitize=undefined,address>;$<$<CONFIG:Debug>:-O2>")

if(OUTFOLD_TESTS)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # Newer GoogleTest sources define these aliases themselves.
    foreach(library gtest gtest_main)
      if(NOT TARGET GTest::${library})
        add_library(GTest::${library} ALIAS ${library})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()
