# The Debian package kyto-demo_<version>_amd64.deb: `cpack` in a build
# folder wraps what cmake/Install.cmake installs, under /usr.
# scripts/package-check.sh builds it, installs it, runs it and removes it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kyto-demo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kyto Demo developers")
set(CPACK_PACKAGE_CONTACT "Kyto Demo developers <developers@kytodemo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "evaluation program for a camera-based human-sensing module")
if(TARGET kyto-demo)
    set(kyto_package_holds "The package holds the window program kyto-demo, the command line
front end kyto and the module emulator kyto-emu.")
else()
    set(kyto_package_holds "The package holds the command line front end kyto and the module
emulator kyto-emu.")
endif()
# CPack puts the summary on the Description line and indents each of these
# lines by one space itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kyto Demo talks to the Kyto human-sensing module on a serial port or
through its network adapter: it runs detection of bodies, hands and faces
(with direction, age, gender, gaze, blink, expression and recognition),
shows and logs the results and manages the module's Album of registered
users.
${kyto_package_holds}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps derives the library packages (libc6, libstdc++6, the Qt 6
# libraries) from the programs; our own two libraries are in the package and
# are found beside the built programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${KYTO_BIN_DIR})
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
if(TARGET kyto-demo)
    # Qt loads its platform plugins (xcb, offscreen) at run time, which
    # dpkg-shlibdeps cannot see.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    # The notice dialog's check-box caption is CJK text; without a CJK font
    # it shows empty boxes. This one is small (about 5 MB installed).
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
endif()
include(CPack)
