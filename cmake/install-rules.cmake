# What `cmake --install` puts in place, in the folders GNUInstallDirs names
# for the prefix:
# - the command and its manual page (bin/, share/man/man1/);
# - the D88 reader for other projects: the library (lib/), its public
#   headers (include/vorbex/) and a CMake package (lib/cmake/vorbex/), so
#   that find_package(vorbex) gives the target vorbex::d88_reader.
# Each part is a component of its own, so that the packages (packaging.cmake)
# take only the command.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS vorbex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vorbex)
install(FILES ${PROJECT_SOURCE_DIR}/docs/vorbex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT vorbex_manual)

set(VORBEX_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vorbex)
# The reader reaches the system through the platform library, which goes
# with it.
install(TARGETS d88_reader vorbex_platform EXPORT vorbexTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT vorbex_development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/reader/include/vorbex
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT vorbex_development
        FILES_MATCHING PATTERN "*.h")
install(EXPORT vorbexTargets NAMESPACE vorbex:: DESTINATION ${VORBEX_CMAKE_PACKAGE_DIR}
        COMPONENT vorbex_development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vorbexConfig.cmake.in
    ${PROJECT_BINARY_DIR}/vorbexConfig.cmake INSTALL_DESTINATION ${VORBEX_CMAKE_PACKAGE_DIR})
# The reader's interface may change with the major version only.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vorbexConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vorbexConfig.cmake ${PROJECT_BINARY_DIR}/vorbexConfigVersion.cmake
        DESTINATION ${VORBEX_CMAKE_PACKAGE_DIR} COMPONENT vorbex_development)
