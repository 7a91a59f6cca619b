# What `cmake --install` (and so `make install` and the Debian packages) puts where: the two
# programs, the HEX comparison helper, the manual pages and the documentation (component
# korvane); the window back end's plugin, the desktop entry and the icon join the component
# window in cmake/ui-window.cmake. The manual pages are built from their scdoc sources in man/.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME korvane)

find_program(KORVANE_SCDOC scdoc)
find_program(KORVANE_GZIP gzip)
if(NOT KORVANE_SCDOC OR NOT KORVANE_GZIP)
    message(FATAL_ERROR "scdoc and gzip build the manual pages: install scdoc (scripts/install-deps)")
endif()

# man/NAME.SECTION.scd becomes build/man/NAME.SECTION (to read with man -l) and, compressed as
# Debian wants it, NAME.SECTION.gz to install.
file(GLOB KORVANE_MAN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.scd)
set(KORVANE_MAN_PAGES)
foreach(src ${KORVANE_MAN_SOURCES})
    get_filename_component(page ${src} NAME_WLE)
    set(out ${PROJECT_BINARY_DIR}/man/${page})
    add_custom_command(OUTPUT ${out} ${out}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9nc \"$2\" > \"$2.gz\""
                ${KORVANE_SCDOC} ${src} ${out} ${KORVANE_GZIP}
        DEPENDS ${src} VERBATIM)
    list(APPEND KORVANE_MAN_PAGES ${out})
    string(REGEX REPLACE "^.*\\.([0-9])$" "\\1" section ${page})
    install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(man ALL DEPENDS ${KORVANE_MAN_PAGES} ${KORVANE_ICON_PNG})

# The Debian changelog, from the project's version; its date follows SOURCE_DATE_EPOCH.
set(KORVANE_PACKAGE_MAINTAINER "Korvane developers <korvane@example.org>"
    CACHE STRING "The package's maintainer, as Debian writes it")
string(TIMESTAMP KORVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$1.gz\"" ${KORVANE_GZIP}
            ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)

install(PROGRAMS scripts/hex-match DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME korvane-hex-match)
install(FILES README.md packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Every document of docs/ and the window's picture, in docs/ beside the README, where its links
# (and the manual pages) find them.
file(GLOB KORVANE_DOCS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${KORVANE_DOCS} docs/korvane-window.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The udev rule that sets serial adapters up (latency timer, ModemManager, group dialout). A
# path below the prefix rather than CMAKE_INSTALL_LIBDIR (lib/<triplet> on Debian): the package
# puts it in /usr/lib/udev/rules.d, a /usr/local install in /usr/local/lib/udev/rules.d, and
# udev reads both.
install(FILES packaging/60-korvane.rules DESTINATION lib/udev/rules.d)
function(korvane_udev_test)
    add_test(NAME Package.UdevRules COMMAND ${PROJECT_SOURCE_DIR}/packaging/check udev
                                            ${PROJECT_SOURCE_DIR}/packaging/60-korvane.rules)
    set_tests_properties(Package.UdevRules PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
cmake_language(DEFER CALL korvane_udev_test)

# The forwarder's systemd unit, below the prefix as the udev rule (lib/systemd/system, which
# systemd reads under /usr and /usr/local alike). The package does not enable it.
install(FILES packaging/korvane-forward.service DESTINATION lib/systemd/system)

# Bash completion for both programs, in bash-completion's folder below the prefix (where its
# pkg-config file says, share/bash-completion/completions by default); it loads a command's
# file by the command's name.
set(KORVANE_COMPLETIONS_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
find_program(KORVANE_PKG_CONFIG pkg-config)
if(KORVANE_PKG_CONFIG)
    execute_process(
        COMMAND ${KORVANE_PKG_CONFIG} --define-variable=datadir=@DATADIR@
                --variable=completionsdir bash-completion
        OUTPUT_VARIABLE dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    if(NOT failed AND dir MATCHES "^@DATADIR@/")
        string(REPLACE "@DATADIR@" ${CMAKE_INSTALL_DATADIR} KORVANE_COMPLETIONS_DIR ${dir})
    endif()
endif()
foreach(program korvane korvane-sim)
    install(FILES packaging/korvane.bash-completion DESTINATION ${KORVANE_COMPLETIONS_DIR}
            RENAME ${program})
endforeach()

# The programs are defined after the optional parts are read: install them once they exist.
# (A fuzzing build makes neither.)
function(korvane_install_programs)
    foreach(program korvane korvane-sim)
        if(TARGET ${program})
            install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        endif()
    endforeach()
endfunction()
cmake_language(DEFER CALL korvane_install_programs)
