# Cross-compiles for 64-bit Windows with the MinGW-w64 compilers of Debian's
# g++-mingw-w64-x86-64 package:
#   cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UCAC2_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UCAC2_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${UCAC2_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${UCAC2_MINGW_TRIPLE}-windres)

# Headers and libraries from the Windows sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${UCAC2_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained executable: the C++ runtime, libgcc and the thread library linked in, so
# that it runs without any MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
