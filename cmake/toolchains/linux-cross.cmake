# What the cross toolchains share: Debian's cross compilers (crossbuild-essential-ARCH) and the
# libraries of ARCH, either installed beside the host's (multiarch: /usr/lib/TRIPLET, headers in
# /usr/include) or, where apt-get could not install them so, unpacked into a sysroot
# (scripts/make-sysroot; build-ARCH-sysroot in the source tree, or -DKORVANE_SYSROOT=DIR).
# arm64.cmake and armhf.cmake set KORVANE_CROSS_TRIPLET, KORVANE_DEB_ARCH and
# CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KORVANE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KORVANE_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${KORVANE_CROSS_TRIPLET})

# scripts/install-deps --cross ARCH leaves the sysroot only when it took that way (it lists
# its packages in .packages once it is whole).
if(NOT DEFINED KORVANE_SYSROOT)
    get_filename_component(sysroot ${CMAKE_CURRENT_LIST_DIR}/../../build-${KORVANE_DEB_ARCH}-sysroot
                           ABSOLUTE)
    if(EXISTS ${sysroot}/.packages)
        set(KORVANE_SYSROOT ${sysroot})
    else()
        set(KORVANE_SYSROOT "")
    endif()
endif()
# The checks CMake compiles in projects of their own read this file again: the same root there.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVANE_SYSROOT)

# Libraries, headers and CMake packages of ARCH only; programs (scdoc, rsvg-convert, gzip) of
# the build machine. Multiarch: the libraries of ARCH sit in the host's own root, so the root is
# /, and CMAKE_LIBRARY_ARCHITECTURE keeps find_library in /usr/lib/TRIPLET. A sysroot is the
# compiler's root (--sysroot) and the only one searched.
if(KORVANE_SYSROOT)
    set(CMAKE_SYSROOT ${KORVANE_SYSROOT})
    set(CMAKE_FIND_ROOT_PATH ${KORVANE_SYSROOT})
else()
    set(CMAKE_FIND_ROOT_PATH /)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the .pc files of ARCH only, and puts the sysroot before the paths they give.
set(ENV{PKG_CONFIG_LIBDIR}
    ${KORVANE_SYSROOT}/usr/lib/${KORVANE_CROSS_TRIPLET}/pkgconfig:${KORVANE_SYSROOT}/usr/share/pkgconfig)
if(KORVANE_SYSROOT)
    set(ENV{PKG_CONFIG_SYSROOT_DIR} ${KORVANE_SYSROOT})
endif()

# The tests run under qemu-user, and the programs they start run there too, through binfmt_misc
# (scripts/install-deps --cross ARCH registers qemu with it). Multiarch: ARCH's own C library
# (libc6:ARCH) loads them, so qemu needs no -L. A sysroot: qemu takes ARCH's loader and
# libraries from there (-L here; QEMU_LD_PREFIX for the programs the tests start, which
# cmake/cross-sysroot.cmake sets for every test).
find_program(KORVANE_CROSS_QEMU NAMES qemu-${KORVANE_QEMU_CPU}-static qemu-${KORVANE_QEMU_CPU})
if(KORVANE_CROSS_QEMU AND KORVANE_SYSROOT)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_CROSS_QEMU} -L ${KORVANE_SYSROOT})
elseif(KORVANE_CROSS_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_CROSS_QEMU})
endif()
