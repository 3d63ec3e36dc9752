# Installation (`make install PREFIX=...`, `cmake --install build --prefix ...`) and
# the Debian package (`make deb`, CPack). Layout below the prefix:
#   bin/                      the executables
#   lib/porukana/             the launcher of bundled programs, the modules of the
#                             families loaded on first use (porukana-net.so, ...),
#                             the console's event loop (porukana-qt.so), the web
#                             engine module
#   share/porukana/           run-time data files (found from bin/ as ../share/porukana),
#                             the editor extension (vscode/)
#   share/man/man1/           manual pages
#   share/doc/porukana/       README and the reference
#   share/applications/, share/mime/packages/, share/icons/hicolor/
#                             the desktop entry that opens .prk files, their type, icons

# Two packages: porukana (everything but the browser's web engine) and porukana-web
# (the engine module, which brings Qt WebEngine in).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
install(TARGETS porukana porukana-cli porukana-pack porukana-sfx RUNTIME DESTINATION bin)
install(TARGETS porukana-launcher RUNTIME DESTINATION lib/porukana)
install(TARGETS ${PORUKANA_MODULES} porukana-qt LIBRARY DESTINATION lib/porukana)
install(FILES ${PORUKANA_MODULE_DIR}/porukana-modules.version DESTINATION lib/porukana)
if(TARGET porukana-web)
  install(TARGETS porukana-web LIBRARY DESTINATION lib/porukana COMPONENT web)
endif()
install(FILES src/office/office_helper.py DESTINATION share/porukana)
install(FILES README.md DESTINATION share/doc/porukana)
if(EXISTS ${CMAKE_SOURCE_DIR}/docs)
  install(DIRECTORY docs/ DESTINATION share/doc/porukana)
endif()
# The editor extension folder, to be copied or linked into an editor's extensions.
install(DIRECTORY editors/vscode/ DESTINATION share/porukana/vscode)
install(FILES packaging/porukana-mime.xml DESTINATION share/mime/packages RENAME porukana.xml)
install(FILES packaging/porukana.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES packaging/porukana.svg DESTINATION share/icons/hicolor/scalable/mimetypes RENAME text-x-porukana.svg)

# The desktop entry and the manual pages name installed paths: they are written at
# install time, for the prefix given then.
install(CODE "set(PORUKANA_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")\nset(PORUKANA_BINARY_DIR \"${CMAKE_BINARY_DIR}\")\nset(PORUKANA_VERSION \"${PROJECT_VERSION}\")" COMPONENT runtime)
install(SCRIPT cmake/install_configured.cmake COMPONENT runtime)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME porukana)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "porukana")
set(CPACK_PACKAGE_CONTACT "porukana developers <porukana@localhost>")
# The first line of each description is the package's summary.
set(PORUKANA_DESCRIPTION "run-time of the Porukana (ぽるかな) programming language
Porukana programs read as Japanese sentences. This package holds the window
run-time (porukana), the console run-time (porukana-cli), the packer of
stand-alone programs (porukana-pack), manual pages, the reference, and the
desktop entry that opens .prk files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-ipafont-gothic, qt6-image-formats-plugins, gstreamer1.0-plugins-good, fluid-soundfont-gm, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc-nogui, libreoffice-writer-nogui, python3-uno")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime)
if(TARGET porukana-web)
  list(APPEND CPACK_COMPONENTS_ALL web)
endif()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME porukana)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "porukana-web, ${CPACK_DEBIAN_PACKAGE_SUGGESTS}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_WEB_PACKAGE_NAME porukana-web)
set(CPACK_DEBIAN_WEB_PACKAGE_DEPENDS "porukana (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_WEB_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_WEB_DESCRIPTION "web engine of the Porukana browser control
The browser control of Porukana programs shows real web pages through Qt
WebEngine with this module; without it, it shows local HTML files only.")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "${PORUKANA_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
