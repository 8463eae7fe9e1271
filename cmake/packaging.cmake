# The Debian package: scripts/package configures a Release tree with the
# prefix /usr and runs `cpack -G DEB` in it.
set(QUORVANE_MAINTAINER "Quorvane2000 maintainers <maintainers@quorvane.example>")

# Debian wants the package's copyright and a compressed changelog in its
# documentation folder.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvane)
configure_file(${PROJECT_SOURCE_DIR}/dist/linux/changelog.in ${PROJECT_BINARY_DIR}/linux/changelog
               @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/linux/changelog.gz
  COMMAND ${GZIP} -9nkf ${PROJECT_BINARY_DIR}/linux/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/linux/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/linux/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/dist/linux/copyright ${PROJECT_BINARY_DIR}/linux/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane2000")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small single-user web server for the desktop")
# Debian shows the description as it stands, so its lines are kept short.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quorvane2000 serves a web site from a root folder and named virtual folders,"
  "to browsers on this computer and on the network: default documents, folder"
  "listings, Basic authentication against its own user list, CGI programs and"
  "Perl scripts, a block list, custom error pages and an access log. Every"
  "setting lives in plain-text files, and every change applies to the next"
  "request."
  "."
  "The package holds the Qt control window with its tray icon (quorvane), the"
  "headless server (quorvane-server) and a systemd user unit that serves the"
  "per-user folder ~/.config/quorvane at log-in.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION httpd)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVANE_WEBSITE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display plugins at run time, so dpkg-shlibdeps cannot see them.
if(QUORVANE_WITH_UI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# The sample site's form is a Perl CGI script.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "perl, libcgi-pm-perl")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
