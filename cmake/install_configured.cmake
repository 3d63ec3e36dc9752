# Run at install time (install(SCRIPT)): writes the files that name installed paths
# for the prefix of this installation, and refreshes the MIME database of a plain
# installation (a package does that in its postinst).
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(PREFIX "${CMAKE_INSTALL_PREFIX}")
set(PORUKANA_BIN_DIR "${CMAKE_INSTALL_PREFIX}/bin")
set(VERSION "${PORUKANA_VERSION}")

message(STATUS "Installing: ${root}/share/applications/porukana.desktop")
configure_file("${PORUKANA_SOURCE_DIR}/packaging/porukana.desktop.in" "${root}/share/applications/porukana.desktop" @ONLY)

set(work "${PORUKANA_BINARY_DIR}/man-pages")
file(MAKE_DIRECTORY "${work}" "${root}/share/man/man1")
foreach(page porukana porukana-cli porukana-pack porukana-send)
  configure_file("${PORUKANA_SOURCE_DIR}/man/${page}.1.in" "${work}/${page}.1" @ONLY)
  message(STATUS "Installing: ${root}/share/man/man1/${page}.1.gz")
  file(ARCHIVE_CREATE OUTPUT "${root}/share/man/man1/${page}.1.gz" PATHS "${work}/${page}.1"
       FORMAT raw COMPRESSION GZip)
endforeach()

if("$ENV{DESTDIR}" STREQUAL "")
  find_program(UPDATE_MIME update-mime-database)
  if(UPDATE_MIME)
    execute_process(COMMAND ${UPDATE_MIME} "${root}/share/mime" OUTPUT_QUIET ERROR_QUIET)
  endif()
  find_program(UPDATE_DESKTOP update-desktop-database)
  if(UPDATE_DESKTOP)
    execute_process(COMMAND ${UPDATE_DESKTOP} -q "${root}/share/applications" OUTPUT_QUIET ERROR_QUIET)
  endif()
endif()
