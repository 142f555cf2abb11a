# The installed layout, settled before any target exists (the rpath is given
# to each target when it is created):
#   bin/                               kyto, kyto-emu, kyto-demo
#   lib/<triplet>/kyto-demo/           libkytolink.so, libquell.so (private;
#                                      <libdir>/kyto-demo without a triplet)
#   share/kyto-demo/                   the shipped configuration files (data/)
# and base/InstallLayout.h, which tells the programs the same names.
include(GNUInstallDirs)

set(KYTO_APP_ID org.kytodemo.KytoDemo)
set(KYTO_DATA_FOLDER_NAME kyto-demo)
# The two libraries are private to the programs, so they go into a folder of
# their own that the dynamic linker never searches. On a multiarch system
# (Debian) that is lib/<triplet>/kyto-demo whatever the prefix: the layout
# GNUInstallDirs gives the package's prefix /usr, and a library directly in
# a subfolder of lib/ would make CPack add ldconfig scripts, after which
# `apt remove` leaves the package behind as "config-files".
set(kyto_private_libdir ${CMAKE_INSTALL_LIBDIR})
if(CMAKE_LIBRARY_ARCHITECTURE AND kyto_private_libdir STREQUAL "lib")
    set(kyto_private_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()
set(KYTO_INSTALL_PRIVATE_LIBDIR ${kyto_private_libdir}/kyto-demo)
set(KYTO_INSTALL_SHARED_DATA ${CMAKE_INSTALL_DATADIR}/${KYTO_DATA_FOLDER_NAME})

# Paths from the installed bin/ to the other folders, whatever the prefix.
file(RELATIVE_PATH KYTO_BIN_TO_LIB
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${KYTO_INSTALL_PRIVATE_LIBDIR})
file(RELATIVE_PATH KYTO_INSTALLED_DATA_FROM_BIN
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${KYTO_INSTALL_SHARED_DATA})

# $ORIGIN: the build folder and an unpacked archive keep the libraries beside
# the programs; $ORIGIN/../<libdir>/kyto-demo: installed.
set(CMAKE_BUILD_RPATH "\$ORIGIN")
set(CMAKE_INSTALL_RPATH "\$ORIGIN;\$ORIGIN/${KYTO_BIN_TO_LIB}")

set(KYTO_SHIPPED_FILES "")
foreach(f ${KYTO_DATA_FILES})
    get_filename_component(name ${f} NAME)
    string(APPEND KYTO_SHIPPED_FILES "\"${name}\", ")
endforeach()
set(KYTO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/base/InstallLayout.h.in
    ${KYTO_GENERATED_DIR}/base/InstallLayout.h @ONLY)
