# Builds for arm64 (Debian 12's aarch64-linux-gnu) against the libraries in
# a sysroot folder that scripts/arm64-sysroot fills, and runs the programs
# built under qemu-user. Used by `scripts/test --arm64`:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#         -DCORVANTA_ARM64_SYSROOT=<sysroot> …
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Read again by every try_compile, which knows only what it is handed.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CORVANTA_ARM64_SYSROOT)
if(NOT CORVANTA_ARM64_SYSROOT)
  message(FATAL_ERROR "CORVANTA_ARM64_SYSROOT names no folder (scripts/arm64-sysroot fills one)")
endif()
set(CMAKE_SYSROOT ${CORVANTA_ARM64_SYSROOT})

# Libraries, headers and CMake packages come from the sysroot only; the
# programs that run during the build (Qt's moc, rcc and uic among them)
# from this machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${CMAKE_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig)

# The tests (and their discovery) run under qemu-user, with the library
# that lets their processes start others (scripts/qemu-preload.c). Qt finds
# no plugins where it looks under qemu-user: it is shown them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L ${CMAKE_SYSROOT}
    -E LD_PRELOAD=${CMAKE_SYSROOT}/qemu-preload.so
    -E QT_PLUGIN_PATH=/usr/lib/aarch64-linux-gnu/qt6/plugins)
