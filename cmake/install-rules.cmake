# What `cmake --install` puts in place: the command and its manual page, in
# the folders GNUInstallDirs names for the prefix (bin/, share/man/man1/).
include(GNUInstallDirs)

install(TARGETS vorbex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/vorbex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
