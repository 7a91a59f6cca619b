# Cross build for 32-bit ARM with hardware floating point (Debian armhf):
# cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(KORVANE_CROSS_TRIPLET arm-linux-gnueabihf)
set(KORVANE_QEMU_CPU arm)
set(KORVANE_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
# GCC notes on 32-bit ARM that passing some std::map iterators changed in GCC 7.1: an ABI
# remark about code built with a compiler before 7.1, which nothing here links with.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
