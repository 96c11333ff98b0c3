# The Debian package (cpack -G DEB, run by tools/package.sh): Quorvane and quorvane-flash (when the
# tree has it) in /usr/bin, the pack simulator, pdf/help.pdf beside Quorvane where "Help" opens it,
# a desktop entry and the logo. Dependencies come from dpkg-shlibdeps. The Windows bundle is a zip
# made by tools/package.sh from the cross build.
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
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/quorvane.desktop DESTINATION share/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <quorvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "BMS firmware updater over a serial line, with a pack simulator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvane sends new firmware to the battery management system of a battery pack over a\n\
 serial line, in English or Chinese. quorvane-packsim stands in for a pack.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quorvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
