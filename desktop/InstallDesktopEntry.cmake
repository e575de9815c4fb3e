# Run by `cmake --install`: writes the desktop entry with the launcher's
# installed path, which only the install step knows (--prefix).
set(PICTAVO_LAUNCHER "${CMAKE_INSTALL_PREFIX}/bin/pictavo")
set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/pictavo.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/pictavo.desktop.in" "${entry}" @ONLY)
