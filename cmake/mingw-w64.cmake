# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (packages mingw-w64 and
# g++-mingw-w64-x86-64-posix). The "-posix" compilers use the winpthreads threading
# model, which std::thread and std::mutex need.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# Qt, libxlsxwriter, PoDoFo and libcurl are not cross-built: the tree builds the
# libraries below Qt, their tests and a command-line planilla.exe (docs/windows.md).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLANILLA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLANILLA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLANILLA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLANILLA_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's tree only; programs run at build time
# (cmake, perl) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PLANILLA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthread linked in: the .exe files run on a bare
# Windows (or under Wine) without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the test programs, and GoogleTest lists their tests, through Wine when it
# is installed. The environment variable may name another runner (or be empty).
if(DEFINED ENV{PLANILLA_WINE})
  set(PLANILLA_WINE "$ENV{PLANILLA_WINE}")
else()
  find_program(PLANILLA_WINE NAMES wine wine64)
endif()
if(PLANILLA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLANILLA_WINE})
endif()
