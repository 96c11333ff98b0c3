# The Debian package (cpack -G DEB, run by tools/package.sh), laid out as Debian's policy asks:
# Quorvane, QuorvaneStation, quorvane-flash and the pack simulator in /usr/bin, their manual pages (help2man, from
# each program's --help) in /usr/share/man/man1, the guide in /usr/share/quorvane/pdf/help.pdf
# (where "Help" of /usr/bin/Quorvane looks, ../share/quorvane/pdf), a desktop entry, the logo, and
# /usr/share/doc/quorvane/{copyright,changelog.gz}. Dependencies come from dpkg-shlibdeps. No
# maintainer scripts: removing the package touches no user's settings or download record. The
# Windows bundle is a zip made by tools/package.sh from the cross build. tools/check-deb.sh runs
# lintian on the result.
if(WIN32)
    return()
endif()

foreach(program quorvane-flash quorvane-packsim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION bin)
    endif()
endforeach()

set(QUORVANE_ICON_PNG ${CMAKE_BINARY_DIR}/packaging/quorvane.png)
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
    add_custom_command(OUTPUT ${QUORVANE_ICON_PNG}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/linux/logo_png.py ${QUORVANE_ICON_PNG} 128
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/linux/logo_png.py ${PROJECT_SOURCE_DIR}/resources/make_icons.py
        COMMENT "Drawing the logo as quorvane.png"
        VERBATIM)
    add_custom_target(quorvane_icon_png ALL DEPENDS ${QUORVANE_ICON_PNG})
    install(FILES ${QUORVANE_ICON_PNG} DESTINATION share/icons/hicolor/128x128/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/quorvane.desktop
              ${PROJECT_SOURCE_DIR}/packaging/linux/quorvane-station.desktop DESTINATION share/applications)

# The manual pages, from each program's --help (none of them needs a display for it); gzip -n
# keeps them byte-identical from build to build. help2man runs packaging/linux/help2man-usage.sh,
# copied under the program's name, which hands it the program's output with every way of calling
# the program on a line of its own, so that the whole synopsis lands under SYNOPSIS.
find_program(QUORVANE_HELP2MAN help2man)
find_program(QUORVANE_GZIP gzip)
set(QUORVANE_MAN_Quorvane "BMS firmware updater (window)")
set(QUORVANE_MAN_QuorvaneStation "BMS firmware station for production lines (window)")
set(QUORVANE_MAN_quorvane-flash "BMS firmware updater (command line)")
set(QUORVANE_MAN_quorvane-packsim "battery pack simulator for Quorvane")
if(QUORVANE_HELP2MAN AND QUORVANE_GZIP)
    set(QUORVANE_MAN_PAGES)
    foreach(program Quorvane QuorvaneStation quorvane-flash quorvane-packsim)
        if(NOT TARGET ${program})
            continue()
        endif()
        set(page ${CMAKE_BINARY_DIR}/packaging/man/${program}.1)
        set(include ${PROJECT_SOURCE_DIR}/packaging/linux/${program}.h2m)
        set(usage ${PROJECT_SOURCE_DIR}/packaging/linux/help2man-usage.sh)
        set(stand_in ${CMAKE_BINARY_DIR}/packaging/man/bin/${program})
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man/bin
            COMMAND ${CMAKE_COMMAND} -E copy ${usage} ${stand_in}
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    QUORVANE_MAN_PROGRAM=$<TARGET_FILE:${program}>
                    ${QUORVANE_HELP2MAN} --no-info --no-discard-stderr --section=1
                    --version-string=${PROJECT_VERSION} "--name=${QUORVANE_MAN_${program}}"
                    --include=${include} --output=${page} ${stand_in}
            COMMAND ${QUORVANE_GZIP} -9nf ${page}
            DEPENDS ${program} ${include} ${usage}
            COMMENT "Writing the manual page ${program}(1)"
            VERBATIM)
        list(APPEND QUORVANE_MAN_PAGES ${page}.gz)
    endforeach()
    add_custom_target(quorvane_man_pages ALL DEPENDS ${QUORVANE_MAN_PAGES})
    install(FILES ${QUORVANE_MAN_PAGES} DESTINATION share/man/man1)
else()
    message(STATUS "help2man or gzip not found: the package gets no manual pages")
endif()

# copyright and the changelog (gzip -9n, as policy asks), in the package's documentation folder.
set(QUORVANE_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog)
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/changelog.in ${QUORVANE_CHANGELOG} @ONLY)
if(QUORVANE_GZIP)
    add_custom_command(OUTPUT ${QUORVANE_CHANGELOG}.gz
        COMMAND ${QUORVANE_GZIP} -9nkf ${QUORVANE_CHANGELOG}
        DEPENDS ${QUORVANE_CHANGELOG}
        VERBATIM)
    add_custom_target(quorvane_changelog ALL DEPENDS ${QUORVANE_CHANGELOG}.gz)
    install(FILES ${QUORVANE_CHANGELOG}.gz DESTINATION share/doc/quorvane)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/copyright DESTINATION share/doc/quorvane)
# lintian's overrides, each with its reason in the file.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lintian-overrides
        DESTINATION share/lintian/overrides RENAME quorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane")
# The project has no mail domain of its own: .invalid is reserved for names that can never
# resolve (RFC 2606), so no stranger's address is named and lintian's host check is satisfied.
set(CPACK_PACKAGE_CONTACT "Quorvane project <packaging@quorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "BMS firmware updater over a serial line, with a pack simulator")
# The synopsis is the summary above; CPack indents these lines itself. At most 80 characters each.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvane sends new firmware to the battery management system (BMS) of a\n\
battery pack over a serial line, in a window in English or Chinese.\n\
QuorvaneStation flashes packs on a production line, a tile per port.\n\
quorvane-flash does the same from the command line, to several packs at once.\n\
quorvane-packsim stands in for a pack on a pseudo-terminal.")
# Help opens the guide through the desktop (xdg-open) in a PDF viewer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, evince | pdf-viewer")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quorvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The control files with the permissions dpkg expects, whatever the build tree's umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
