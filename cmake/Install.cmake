# Install layout of a desktop program, and the Debian package (`make package`).
#   bin/                         OstrelClient, ostreld, owb
#   share/ostrel-workbench/      the data files (the application folder of an installed copy)
#                                and the demo seed of ostreld (demo/)
#   share/applications/, share/icons/hicolor/, share/man/man1/
include(GNUInstallDirs)

# The executables find their data at ../share/ostrel-workbench beside their own folder.
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(WARNING "CMAKE_INSTALL_BINDIR must be 'bin' and CMAKE_INSTALL_DATADIR 'share', "
                  "or the installed programs will not find their data files")
endif()
set(OWB_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/ostrel-workbench)

foreach(_exe OstrelClient ostreld owb)
  if(TARGET ${_exe})
    install(TARGETS ${_exe} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${OWB_INSTALL_DATA_DIR})
if(TARGET ostreld)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/ostreld/demo/ DESTINATION ${OWB_INSTALL_DATA_DIR}/demo
          PATTERN "*.py" EXCLUDE)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/ostrel-workbench.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/ostrel-workbench.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/ostrel-workbench-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME ostrel-workbench.png)
endforeach()

# Man pages, compressed as Debian keeps them; a page is installed with its program.
set(_man_pages)
foreach(_page OstrelClient ostreld owb)
  if(TARGET ${_page})
    set(_src ${CMAKE_SOURCE_DIR}/packaging/man/${_page}.1)
    set(_gz ${CMAKE_BINARY_DIR}/man/${_page}.1.gz)
    add_custom_command(OUTPUT ${_gz}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND gzip -9 -n -c ${_src} > ${_gz}
      DEPENDS ${_src} VERBATIM)
    list(APPEND _man_pages ${_gz})
  endif()
endforeach()
add_custom_target(owb_man ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian package; its dependencies come from the shared libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel-workbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ostrel Workbench developers")
set(CPACK_PACKAGE_CONTACT "Ostrel Workbench developers <ostrel-workbench@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ostrel Workbench: the application to maintain Ostrel database.")
# The summary above is the first line of the package's description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A desktop workbench (OstrelClient) for Ostrel XML databases reached over HTTP:
browse collections and document types, query with XPath, edit, validate and store
documents, import and export files, apply XSL stylesheets. With the standalone
server ostreld and its demo data, and the command-line tool owb when built.")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found among the linked libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
