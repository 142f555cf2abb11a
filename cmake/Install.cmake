# `cmake --install`: the programs, their two private libraries, the shipped
# configuration files, manual pages, the bash completion, the udev rule
# example and, with kyto-demo, its launcher, icon and AppStream metainfo.
# cmake/InstallLayout.cmake chose the folders; cmake/Packaging.cmake wraps
# the result into the Debian package.

# Every library and program sees base/InstallLayout.h through kyto_base.
target_include_directories(kyto_base PUBLIC $<BUILD_INTERFACE:${KYTO_GENERATED_DIR}>)

set(KYTO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(KYTO_INSTALL_DOC ${CMAKE_INSTALL_DATADIR}/doc/kyto-demo)

set(KYTO_PROGRAMS "")
foreach(program kyto kyto-emu kyto-demo)
    if(TARGET ${program})
        list(APPEND KYTO_PROGRAMS ${program})
    endif()
endforeach()
if(KYTO_PROGRAMS)
    install(TARGETS ${KYTO_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
foreach(library kytolink quell)
    if(TARGET ${library})
        install(TARGETS ${library} LIBRARY DESTINATION ${KYTO_INSTALL_PRIVATE_LIBDIR})
    endif()
endforeach()
install(FILES ${KYTO_DATA_FILES} DESTINATION ${KYTO_INSTALL_SHARED_DATA})
install(FILES ${KYTO_PACKAGING_DIR}/completion/kyto.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kyto)
install(FILES ${KYTO_PACKAGING_DIR}/udev/60-kyto-demo.rules
    DESTINATION ${KYTO_INSTALL_DOC}/examples)
# Debian asks every package for its copyright file in its doc folder.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${KYTO_PACKAGING_DIR}/debian/copyright
    DESTINATION ${KYTO_INSTALL_DOC})

# The launcher, icon and metainfo only make sense with the window program.
if(TARGET kyto-demo)
    install(FILES ${KYTO_PACKAGING_DIR}/linux/${KYTO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${KYTO_PACKAGING_DIR}/linux/${KYTO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${KYTO_PACKAGING_DIR}/linux/${KYTO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Manual pages from each program's own --help (help2man), at build time.
find_program(KYTO_HELP2MAN help2man)
# Sanitizer and fuzz builds are never installed: no pages for them.
if(KYTO_HELP2MAN AND NOT KYTO_SANITIZE AND NOT KYTO_FUZZ)
    set(KYTO_MAN_DEFAULT ON)
else()
    set(KYTO_MAN_DEFAULT OFF)
endif()
option(KYTO_MANPAGES "Generate the manual pages with help2man" ${KYTO_MAN_DEFAULT})
if(KYTO_MANPAGES)
    if(NOT KYTO_HELP2MAN)
        message(FATAL_ERROR "KYTO_MANPAGES needs help2man (scripts/setup-deps.sh installs it)")
    endif()
    set(man_pages "")
    foreach(program ${KYTO_PROGRAMS})
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        set(include ${KYTO_PACKAGING_DIR}/man/${program}.h2m)
        # kyto's page shows every command's options.
        set(help_option --help)
        if(program STREQUAL kyto)
            set(help_option --help-all)
        endif()
        # The emulator's --version is one of its options, so the version is
        # given rather than asked for; kyto-demo needs no display for --help.
        # Installed compressed, as Debian's man pages are (-n: no file name
        # or time stamp in the gzip header).
        add_custom_command(OUTPUT ${page} ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${KYTO_HELP2MAN} --no-info --no-discard-stderr
                --version-string=${PROJECT_VERSION} --section=1 --help-option=${help_option}
                --include=${include} --output=${page} $<TARGET_FILE:${program}>
            COMMAND gzip -9nkf ${page}
            DEPENDS ${program} ${include}
            COMMENT "Manual page ${program}.1"
            VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(kyto_man ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
