# The Debian package, with CPack's DEB generator: `make deb` (cpack -G DEB in the build folder)
# writes build/korvane_VERSION_amd64.deb. Everything `cmake --install` installs goes in, below
# /usr; the version is the project's, and dpkg-shlibdeps finds the libraries it needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware flasher for slave microcontrollers on a serial line")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvane erases and programs an Intel HEX firmware image into an OD or
Stepper slave microcontroller through a serial port: with a dialog (a
window, or the terminal), or without a screen for production lines and
scripts (korvane flash, scan, station and ports). korvane-sim plays the
slaves on a pseudo-terminal, for tests and demonstrations.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The package, the desktop entry and the manual pages, checked in CTest (skipped, with the
# reason, where a tool they need is missing).
function(korvane_package_tests)
    if(NOT TARGET korvane OR NOT TARGET korvane-sim)
        return()
    endif()
    set(check ${PROJECT_SOURCE_DIR}/packaging/check)
    add_test(NAME Package.Deb
             COMMAND ${check} deb ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_CPACK_COMMAND})
    # One package build is enough; it takes a while on a busy machine.
    set_tests_properties(Package.Deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    add_test(NAME Package.DesktopEntry
             COMMAND ${check} desktop ${PROJECT_SOURCE_DIR}/packaging/korvane.desktop)
    set_tests_properties(Package.DesktopEntry PROPERTIES SKIP_RETURN_CODE 77)
    foreach(page ${KORVANE_MAN_PAGES})
        get_filename_component(name ${page} NAME)
        add_test(NAME Package.ManPage.${name} COMMAND ${check} man ${page})
        set_tests_properties(Package.ManPage.${name} PROPERTIES SKIP_RETURN_CODE 77)
    endforeach()
endfunction()
cmake_language(DEFER CALL korvane_package_tests)
