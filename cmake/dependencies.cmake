# Third-party pieces, all from Debian packages.
#  - duktape: the script engine. Natively the system library; for Windows the
#    amalgamated source Debian ships.
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

if(WIN32)
  add_library(duktape STATIC /usr/share/duktape/duktape.c)
  target_include_directories(duktape SYSTEM PUBLIC /usr/share/duktape)
  set_source_files_properties(/usr/share/duktape/duktape.c PROPERTIES COMPILE_OPTIONS "-w")
else()
  find_library(DUKTAPE_LIBRARY NAMES duktape REQUIRED)
  find_path(DUKTAPE_INCLUDE_DIR duktape.h REQUIRED)
  add_library(duktape INTERFACE)
  target_link_libraries(duktape INTERFACE ${DUKTAPE_LIBRARY} m)
  target_include_directories(duktape SYSTEM INTERFACE ${DUKTAPE_INCLUDE_DIR})
endif()

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
