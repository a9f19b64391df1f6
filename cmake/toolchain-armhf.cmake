# Cross build for 32-bit ARM (Debian armhf) against a Debian sysroot made by
# scripts/make-armhf-sysroot.sh. Tests run under qemu-arm through
# CMAKE_CROSSCOMPILING_EMULATOR, so plain ctest works in the build tree.
#
# The sysroot is LBS_ARMHF_SYSROOT (cache variable, or environment), or else
# build-armhf-sysroot beside this project's sources.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

if(NOT LBS_ARMHF_SYSROOT)
  if(DEFINED ENV{LBS_ARMHF_SYSROOT} AND NOT "$ENV{LBS_ARMHF_SYSROOT}" STREQUAL "")
    set(LBS_ARMHF_SYSROOT "$ENV{LBS_ARMHF_SYSROOT}")
  else()
    get_filename_component(LBS_ARMHF_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../build-armhf-sysroot" ABSOLUTE)
  endif()
endif()
get_filename_component(LBS_ARMHF_SYSROOT "${LBS_ARMHF_SYSROOT}" ABSOLUTE)
set(LBS_ARMHF_SYSROOT "${LBS_ARMHF_SYSROOT}" CACHE PATH "Debian armhf sysroot for the cross build")
# try_compile projects load this file again; hand them the same sysroot.
set(ENV{LBS_ARMHF_SYSROOT} "${LBS_ARMHF_SYSROOT}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LBS_ARMHF_SYSROOT)

if(NOT EXISTS "${LBS_ARMHF_SYSROOT}/usr/lib/arm-linux-gnueabihf/libglib-2.0.so.0")
  message(FATAL_ERROR
    "No armhf sysroot at ${LBS_ARMHF_SYSROOT}. Make one with\n"
    "  scripts/make-armhf-sysroot.sh ${LBS_ARMHF_SYSROOT}\n"
    "or point LBS_ARMHF_SYSROOT at one.")
endif()

set(CMAKE_SYSROOT "${LBS_ARMHF_SYSROOT}")
# Start files (crt1.o and friends) from the sysroot's C library as well.
set(CMAKE_C_FLAGS_INIT "-B${LBS_ARMHF_SYSROOT}/usr/lib/arm-linux-gnueabihf")
# -Wno-psabi: GCC notes on ARM that std types are passed differently than
# GCC 6 did; this project ships no ABI built with GCC 6.
set(CMAKE_CXX_FLAGS_INIT "-B${LBS_ARMHF_SYSROOT}/usr/lib/arm-linux-gnueabihf -Wno-psabi")

# Libraries, headers and CMake packages (GTest) only from the sysroot;
# programs (pkg-config, the code generators) from the host.
set(CMAKE_FIND_ROOT_PATH "${LBS_ARMHF_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's pkg-config, reading only the sysroot's .pc files and prefixing
# the paths it prints with the sysroot.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${LBS_ARMHF_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR} "${LBS_ARMHF_SYSROOT}/usr/lib/arm-linux-gnueabihf/pkgconfig:${LBS_ARMHF_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# qemu-arm runs the programs; -L makes the sysroot its root for the dynamic
# loader and for the sysroot's libraries (/lib and /usr/lib multiarch dirs).
# The project's own libraries are found through the build RUNPATH, whose
# absolute build-tree paths qemu resolves on the host when they are not in
# the sysroot.
find_program(LBS_QEMU_ARM qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${LBS_QEMU_ARM};-L;${LBS_ARMHF_SYSROOT}")
