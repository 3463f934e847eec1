# Cross-compiles Kelvarin for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant,
# which std::thread needs) and runs what it builds under Wine:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Packages: g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine, wine64 (scripts/test-windows.sh
# installs them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVARIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVARIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARIN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVARIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe with nothing beside it but the system's DLLs: the C and C++ runtimes, winpthreads and
# zlib are linked in. FindZLIB would take the DLL's import library (libz.dll.a) unless told.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_LIBRARY /usr/${KELVARIN_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "static zlib")
set(ZLIB_INCLUDE_DIR /usr/${KELVARIN_MINGW_TRIPLET}/include CACHE PATH "zlib headers")

# Test programs (and GoogleTest's discovery of their tests) run through Wine. WINEPREFIX and
# WINEDEBUG come from the environment (scripts/test-windows.sh sets them).
find_program(KELVARIN_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KELVARIN_WINE})
