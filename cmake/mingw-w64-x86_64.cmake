# Cross build for Windows x86-64 with Debian's MinGW-w64 (POSIX thread model, so std::thread works).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVALE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVALE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVALE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVALE_MINGW_TRIPLE}-windres)

# GMP has no MinGW package; scripts/build-gmp-mingw builds it into this prefix.
# It honours CORVALE_GMP_MINGW_PREFIX from the environment, and so does this file.
if(DEFINED ENV{CORVALE_GMP_MINGW_PREFIX})
  set(CORVALE_GMP_MINGW_DEFAULT "$ENV{CORVALE_GMP_MINGW_PREFIX}")
else()
  set(CORVALE_GMP_MINGW_DEFAULT "$ENV{HOME}/.cache/corvale/gmp-mingw")
endif()
set(CORVALE_GMP_MINGW_PREFIX "${CORVALE_GMP_MINGW_DEFAULT}" CACHE PATH "Prefix of the MinGW GMP build")

# The libdeflate it links is found by corvale/CMakeLists.txt, built by scripts/build-libdeflate-mingw.

set(CMAKE_FIND_ROOT_PATH /usr/${CORVALE_MINGW_TRIPLE} ${CORVALE_GMP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Ship self-contained executables: no libstdc++, libgcc or winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# libz-mingw-w64-dev ships both libz.a and an import library for zlib1.dll; take the static one.
set(ZLIB_USE_STATIC_LIBS ON)
