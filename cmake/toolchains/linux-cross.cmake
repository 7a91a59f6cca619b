# What the cross toolchains share: Debian's cross compilers (crossbuild-essential-ARCH) and the
# libraries of ARCH installed beside the host's (multiarch: /usr/lib/TRIPLET, headers in
# /usr/include). arm64.cmake and armhf.cmake set KORVANE_CROSS_TRIPLET, KORVANE_DEB_ARCH and
# CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KORVANE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KORVANE_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${KORVANE_CROSS_TRIPLET})

# Libraries, headers and CMake packages of ARCH only; programs (scdoc, rsvg-convert, gzip) of
# the build machine. The libraries of ARCH sit in the host's own root, so the root is /, and
# CMAKE_LIBRARY_ARCHITECTURE keeps find_library in /usr/lib/TRIPLET.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the .pc files of ARCH only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${KORVANE_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

# The tests run under qemu-user, and the programs they start run there too, through binfmt_misc
# (scripts/install-deps --cross ARCH registers qemu with it). ARCH's own C library (libc6:ARCH,
# multiarch) loads them, so qemu needs no -L.
find_program(KORVANE_CROSS_QEMU NAMES qemu-${KORVANE_QEMU_CPU}-static qemu-${KORVANE_QEMU_CPU})
if(KORVANE_CROSS_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_CROSS_QEMU})
endif()
