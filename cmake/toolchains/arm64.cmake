# Cross build for 64-bit ARM (Debian arm64): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm64.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KORVANE_CROSS_TRIPLET aarch64-linux-gnu)
set(KORVANE_QEMU_CPU aarch64)
set(KORVANE_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
