# Install rules and the Debian package: the two programs, the desktop entry, the icon, the AppStream
# metadata and the manual pages. `cpack -G DEB` in the build folder makes the package; configure
# with -DCMAKE_INSTALL_PREFIX=/usr for it.
include(GNUInstallDirs)

# An executable that lies in the folder programs are installed to keeps KVT3.INI in the user's
# configuration folder; the file needs the folder's absolute path.
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/config.cpp PROPERTIES
  COMPILE_DEFINITIONS "KVT_INSTALL_BINDIR=\"${CMAKE_INSTALL_FULL_BINDIR}\"")

set(KVT_APP_ID org.tarrow.kvt_report_editor)
set(KVT_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(KVT_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS kvt-report-editor kvt-datadir RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KVT_PACKAGING}/kvt-report-editor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${KVT_PACKAGING}/${KVT_APP_ID}.metainfo.xml ${KVT_PACKAGING_OUT}/${KVT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KVT_PACKAGING_OUT}/${KVT_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KVT_PACKAGING}/kvt-report-editor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The PNG icons are drawn from the SVG at build time.
find_program(KVT_RSVG_CONVERT rsvg-convert)
if(KVT_RSVG_CONVERT)
  set(icons)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${KVT_PACKAGING_OUT}/icons/${size}x${size}/kvt-report-editor.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KVT_PACKAGING_OUT}/icons/${size}x${size}
      COMMAND ${KVT_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${KVT_PACKAGING}/kvt-report-editor.svg
      DEPENDS ${KVT_PACKAGING}/kvt-report-editor.svg VERBATIM)
    list(APPEND icons ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(kvt-icons ALL DEPENDS ${icons})
else()
  message(WARNING "rsvg-convert (Debian package librsvg2-bin) not found: the PNG icons are neither built nor installed")
endif()

# The manual pages are written in scdoc's plain form and turned into roff at build time.
find_program(KVT_SCDOC scdoc)
find_program(KVT_GZIP gzip)
if(KVT_SCDOC AND KVT_GZIP)
  set(pages)
  foreach(page kvt-datadir kvt-report-editor)
    set(src ${KVT_PACKAGING_OUT}/man/${page}.1.scd)
    set(out ${KVT_PACKAGING_OUT}/man/${page}.1.gz)
    configure_file(${KVT_PACKAGING}/man/${page}.1.scd ${src} @ONLY)
    add_custom_command(OUTPUT ${out}
      COMMAND sh -c "\"$0\" < \"$1\" | \"$2\" -9n > \"$3\"" ${KVT_SCDOC} ${src} ${KVT_GZIP} ${out}
      DEPENDS ${src} VERBATIM)
    list(APPEND pages ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(kvt-manpages ALL DEPENDS ${pages})
else()
  message(WARNING "scdoc (Debian package scdoc) not found: the manual pages are neither built nor installed")
endif()

# The desktop entry and the metadata pass their validators.
if(KVT_BUILD_TESTS)
  find_program(KVT_DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(KVT_DESKTOP_FILE_VALIDATE)
    add_test(NAME Packaging.DesktopEntryValid
             COMMAND ${KVT_DESKTOP_FILE_VALIDATE} ${KVT_PACKAGING}/kvt-report-editor.desktop)
    set_tests_properties(Packaging.DesktopEntryValid PROPERTIES FAIL_REGULAR_EXPRESSION "(error|warning|hint):")
  endif()
  find_program(KVT_APPSTREAMCLI appstreamcli)
  if(KVT_APPSTREAMCLI)
    add_test(NAME Packaging.MetainfoValid
             COMMAND ${KVT_APPSTREAMCLI} validate --no-net --pedantic ${KVT_PACKAGING_OUT}/${KVT_APP_ID}.metainfo.xml)
    set_tests_properties(Packaging.MetainfoValid PROPERTIES FAIL_REGULAR_EXPRESSION "(^|\n)[EWIP]: ")
  endif()
endif()

# The Debian package. dpkg-shlibdeps finds the libraries the programs link; the Qt SQL driver is a
# plugin loaded at run time, so it is named here.
set(KVT_PACKAGE_MAINTAINER "KVT Report Editor developers <kvt-report-editor@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvt-report-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KVT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of the stored layout definitions of the KVT printed reports")
set(CPACK_PACKAGE_DESCRIPTION "For a chosen report category the KVT Report Editor shows a tree of reports,
their print bands and the controls printed in each band; three detail pages edit
the report, band or control behind the selected node. It changes existing rows
only and never prints. kvt-datadir sets up a data directory, with demo rows if
wanted.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
