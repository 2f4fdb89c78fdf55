# Install rules and the Debian package: `cpack -G DEB` in a build tree configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both).
include(GNUInstallDirs)

set(RUVO_PACKAGE ruvo-drv)
set(RUVO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${RUVO_PACKAGE})
set(RUVO_DATA_DIR ${CMAKE_INSTALL_DATADIR}/${RUVO_PACKAGE})
set(RUVO_STAGE ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS ruvo_drv xruvo_sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and the changelog go in compressed, without time stamps (reproducible).
find_program(RUVO_GZIP gzip REQUIRED)
set(RUVO_STAGED)
foreach(source man/ruvo_drv.1 man/xruvo_sim.1 debian/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${RUVO_STAGE}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RUVO_STAGE}
    COMMAND ${RUVO_GZIP} -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} > ${RUVO_STAGE}/${name}.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} VERBATIM)
  list(APPEND RUVO_STAGED ${RUVO_STAGE}/${name}.gz)
endforeach()
install(FILES ${RUVO_STAGE}/ruvo_drv.1.gz ${RUVO_STAGE}/xruvo_sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${RUVO_STAGE}/changelog.gz packaging/debian/copyright
        DESTINATION ${RUVO_DOC_DIR})

install(FILES README.md docs/receipt-files.md DESTINATION ${RUVO_DOC_DIR})
install(DIRECTORY examples/ DESTINATION ${RUVO_DOC_DIR}/examples)

# The settings a new service folder starts from: the example, with no port named yet, so
# the service waits until the technician names the ECR's device. Changed byte for byte
# (sed), so that every line keeps its CR LF; CMake's string functions would lose the CRs.
find_program(RUVO_SED sed REQUIRED)
add_custom_command(OUTPUT ${RUVO_STAGE}/XRUVODRV.INI
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RUVO_STAGE}
  COMMAND ${RUVO_SED} "s|^COM1=/dev/ttyS0\\r$|;COM1=/dev/ttyS0\\r|"
          ${CMAKE_CURRENT_SOURCE_DIR}/examples/XRUVODRV.INI > ${RUVO_STAGE}/XRUVODRV.INI
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/examples/XRUVODRV.INI VERBATIM)
list(APPEND RUVO_STAGED ${RUVO_STAGE}/XRUVODRV.INI)
add_custom_target(ruvo_staged_files ALL DEPENDS ${RUVO_STAGED})
install(FILES ${RUVO_STAGE}/XRUVODRV.INI DESTINATION ${RUVO_DATA_DIR})
install(FILES packaging/desktop/ruvo-drv-autostart.desktop
        DESTINATION ${RUVO_DATA_DIR}/autostart RENAME ruvo-drv.desktop)

install(FILES packaging/desktop/ruvo-drv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/desktop/ruvo-drv.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian 12 keeps the units of packages in /lib/systemd/system.
install(FILES packaging/systemd/ruvo-drv.service packaging/systemd/ruvo-drv@.service
        DESTINATION /lib/systemd/system)
# The USB serial classes from boot on, for the units' device policy (see the units).
install(FILES packaging/modules-load.d/ruvo-drv.conf DESTINATION /usr/lib/modules-load.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${RUVO_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Ruvo_Drv developers")
set(CPACK_PACKAGE_CONTACT "Ruvo_Drv developers <ruvo-drv@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fiscal printer driver for the XRuvo cash register")
# CPack puts the summary in front as the synopsis; this is the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ruvo_Drv runs beside a shop's sales application and drives one XRuvo cash
register on a serial port. The sales application drops receipt files into the
driver's working folder; the driver checks every line, prints the receipt and
answers in a response file.
.
The package holds the driver (as a systemd service or a desktop program), the
simulated register xruvo_sim and the reference of the receipt files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/prerm
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The programs go in stripped; CPack splits their debug information off into
# ruvo-drv-dbgsym (a .ddeb) and links them to it (CPACK_STRIP_FILES would strip it away first).
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
include(CPack)
