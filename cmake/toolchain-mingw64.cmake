# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threading model).
# Every program is linked statically, so the .exe files need no MinGW DLL beside them.
# Programs built here run under Wine through the wrapper below, each build with a Wine
# prefix of its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(orvo_mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${orvo_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${orvo_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${orvo_mingw_triplet}-windres)

# Libraries and headers come from the MinGW tree (and from paths given explicitly, such
# as the static Expat); the build host's programs stay usable.
set(CMAKE_FIND_ROOT_PATH /usr/${orvo_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also pulls in libstdc++, libgcc and winpthread as archives.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# CTest and try_run start the .exe files through this. The prefix lives in the build tree,
# so no build shares Wine state with another or with the user's own ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
