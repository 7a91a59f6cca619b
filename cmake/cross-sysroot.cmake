# A cross build against a sysroot (cmake/toolchains/linux-cross.cmake): ARCH's loader and
# libraries are there, not in /, and qemu must be told so. The test program gets -L from
# CMAKE_CROSSCOMPILING_EMULATOR; the programs a test starts (korvane, korvane-sim, in tmux too,
# and the package's own), which the kernel hands to qemu through binfmt_misc, get
# QEMU_LD_PREFIX from the environment, which CTest sets here before it runs any test.
if(CMAKE_CROSSCOMPILING AND KORVANE_SYSROOT)
    file(WRITE ${PROJECT_BINARY_DIR}/qemu-ld-prefix.cmake
         "set(ENV{QEMU_LD_PREFIX} \"${KORVANE_SYSROOT}\")\n")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND
                 PROPERTY TEST_INCLUDE_FILES ${PROJECT_BINARY_DIR}/qemu-ld-prefix.cmake)
endif()
