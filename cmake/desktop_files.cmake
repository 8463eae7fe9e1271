# What an installation adds around the two programs: the sample configuration
# that a first start copies, manual pages, the systemd user unit and, with the
# window, its menu entry, icons and AppStream metadata.
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)

set(linux_dir ${PROJECT_SOURCE_DIR}/dist/linux)
set(generated_dir ${PROJECT_BINARY_DIR}/linux)
file(MAKE_DIRECTORY ${generated_dir})

# The samples; dist/linux holds only the sources of the files below.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/dist/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvane
        USE_SOURCE_PERMISSIONS PATTERN linux EXCLUDE)

set(manual_pages)
foreach(page quorvane-server quorvane)
  if(page STREQUAL quorvane AND NOT QUORVANE_WITH_UI)
    continue()
  endif()
  set(page_gz ${generated_dir}/${page}.1.gz)
  add_custom_command(OUTPUT ${page_gz}
    COMMAND ${SCDOC} < ${linux_dir}/${page}.1.scd > ${generated_dir}/${page}.1
    COMMAND ${GZIP} -9nf ${generated_dir}/${page}.1
    DEPENDS ${linux_dir}/${page}.1.scd
    COMMENT "Writing the manual page ${page}(1)" VERBATIM)
  list(APPEND manual_pages ${page_gz})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(${linux_dir}/quorvane-server.service.in ${generated_dir}/quorvane-server.service
               @ONLY)
# systemd looks for user units under the prefix's lib, whatever the library
# folder of the architecture is called.
install(FILES ${generated_dir}/quorvane-server.service DESTINATION lib/systemd/user)

if(NOT QUORVANE_WITH_UI)
  return()
endif()

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_svg ${PROJECT_SOURCE_DIR}/src/ui/resources/quorvane.svg)
set(icon_pngs)
foreach(size 48 128)
  set(png ${generated_dir}/icons/${size}x${size}/quorvane.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated_dir}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon_svg}
    DEPENDS ${icon_svg}
    COMMENT "Drawing the ${size} pixel icon" VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(icons ALL DEPENDS ${icon_pngs})
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

configure_file(${linux_dir}/quorvane.desktop.in ${generated_dir}/${QUORVANE_APP_ID}.desktop
               COPYONLY)
# File managers offer a folder's "Open With" applications: this hidden entry
# puts "Share with Quorvane2000" among them.
configure_file(${linux_dir}/quorvane-share.desktop.in
               ${generated_dir}/${QUORVANE_APP_ID}.Share.desktop COPYONLY)
install(FILES ${generated_dir}/${QUORVANE_APP_ID}.desktop
              ${generated_dir}/${QUORVANE_APP_ID}.Share.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${linux_dir}/metainfo.xml.in ${generated_dir}/${QUORVANE_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${generated_dir}/${QUORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
