# Cross build for Windows with MinGW-w64 (the posix thread model, for std::thread); tests
# run through Wine. Included by mingw-<arch>.cmake after it sets CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(LOCKWELL_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${LOCKWELL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LOCKWELL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LOCKWELL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LOCKWELL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
