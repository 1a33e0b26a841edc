# Cross build for Windows x64 with the MinGW-w64 (POSIX threads) compilers.
#
# Everything is linked statically against the GNU runtime (libstdc++, libgcc,
# winpthread), so the module and the programs need only Windows system DLLs.
# Programs built here run under wine: CTest and test discovery go through
# CMAKE_CROSSCOMPILING_EMULATOR with a wine prefix inside the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(OUTFOLD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OUTFOLD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OUTFOLD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OUTFOLD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OUTFOLD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -O2 rather than the default -O3 for Release: at -O3 this GCC reports false
# -Wrestrict and -Warray-bounds findings inside the standard library's string
# and vector code, which warnings-as-errors turns into failed builds.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release C builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release C++ builds")

set(OUTFOLD_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${OUTFOLD_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${OUTFOLD_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${OUTFOLD_STATIC_RUNTIME}")

# The wine prefix lives in the build folder so runs never touch the user's
# home; mono and gecko are switched off so no installer prompt appears
# (scripts/wine-prefix.sh also keeps wine's desktop integration out of the
# home folder).
set(OUTFOLD_WINE /usr/lib/wine/wine64)
set(OUTFOLD_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(OUTFOLD_WINE_ENV WINEPREFIX=${OUTFOLD_WINEPREFIX} WINEDEBUG=-all
                     WINEDLLOVERRIDES=mscoree,mshtml=)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ${OUTFOLD_WINE_ENV} ${OUTFOLD_WINE})
