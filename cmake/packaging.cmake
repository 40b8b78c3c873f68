# `cpack` in a release build makes the packages people install:
# - on Linux, a .deb (the command in /usr/bin, its compressed manual page,
#   the copyright file, Depends from dpkg-shlibdeps) and a .tar.gz with the
#   same files under bin/ and share/ for other systems, and the licence;
# - for Windows, a .zip with vorbex.exe, the README, the licence and the
#   copyright file;
# - for macOS, a .tar.gz for each processor with the command, its
#   compressed manual page, the licence and the copyright file.
# They take the command only, never the reader's library and headers.
#
# Two builds of the same source give the same packages, byte for byte:
# every time stamp in them is the source's date (source-date-epoch.cmake),
# which reaches cpack through CPackConfig.cmake and
# packaging-per-generator.cmake. .ci/reproducible checks it.
include(${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake)
vorbex_source_date_epoch(VORBEX_SOURCE_DATE_EPOCH ${PROJECT_SOURCE_DIR})
message(STATUS "Packages are dated ${VORBEX_SOURCE_DATE_EPOCH}, from ${VORBEX_SOURCE_DATE_EPOCH_FROM}")
set(CPACK_VORBEX_SOURCE_DATE_EPOCH ${VORBEX_SOURCE_DATE_EPOCH})
set(CPACK_PACKAGE_NAME vorbex)
set(CPACK_PACKAGE_VENDOR "the vorbex maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as Debian's package descriptions want.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "vorbex reads a D88 floppy-disk image, gathers the sector data of tracks\n"
    "5 to 152 of its first two disks, finds the embedded files in that data and\n"
    "writes each one, unchanged, to a file of its own (ZT000, ZT001, ...) in the\n"
    "current folder, printing each name.")
set(VORBEX_PACKAGE_CONTACT "vorbex maintainers <maintainers@users.noreply.c-seed-5540e60f.example>"
    CACHE STRING "The maintainer named in the packages")
set(CPACK_PACKAGE_CONTACT "${VORBEX_PACKAGE_CONTACT}")
# As Debian wants them, whatever the umask of whoever builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# One package of the components listed, per generator.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/packaging-per-generator.cmake)
# The modes in the packages do not depend on the umask of whoever runs cpack.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/packaging-staged-modes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/packaging-deb-modes.cmake)

if(WIN32)
    # The .zip holds vorbex.exe, the README, the licence and the copyright
    # file side by side, in a folder vorbex-VERSION-win64. The last two get
    # .txt names, so that a double click opens them on Windows; the
    # copyright file names the runtime linked into vorbex.exe, whose
    # licences ask for their notices to go with the program.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_COMPONENTS_ALL vorbex_zip)
    install(TARGETS vorbex RUNTIME DESTINATION . COMPONENT vorbex_zip EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT vorbex_zip
            EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt
            COMPONENT vorbex_zip EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright DESTINATION . RENAME COPYRIGHT.txt
            COMPONENT vorbex_zip EXCLUDE_FROM_ALL)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # Depends names the libraries the command links at run time. The GNU
    # release build links none (driver/CMakeLists.txt), so it has none;
    # any other build gets them from dpkg-shlibdeps.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(CMAKE_CROSSCOMPILING)
        # cpack would name the .deb for the machine that packs it: a cross
        # build names the one it builds for, in Debian's words (arm64 for
        # aarch64-linux-gnu), as dpkg-architecture (dpkg-dev) gives them.
        if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                            OUTPUT_VARIABLE target_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
            find_program(VORBEX_DPKG_ARCHITECTURE dpkg-architecture)
            mark_as_advanced(VORBEX_DPKG_ARCHITECTURE)
            if(VORBEX_DPKG_ARCHITECTURE AND target_triplet)
                execute_process(
                    COMMAND ${VORBEX_DPKG_ARCHITECTURE} -t${target_triplet} -qDEB_HOST_ARCH
                    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            endif()
            # packaging-per-generator.cmake stops a .deb without one.
            set(CPACK_VORBEX_CROSS_TARGET "${target_triplet}")
        endif()
        # dpkg-shlibdeps knows the libraries of this machine only. The GNU
        # release build is static (driver/CMakeLists.txt) and needs none:
        # its Depends stays empty without asking. Any other cross build
        # still asks, and cpack fails unless that machine's libraries are
        # installed for dpkg to find.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_BUILD_TYPE STREQUAL "Release")
            set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
        endif()
    endif()

    # Debian's manual pages and changelogs are gzip'ed at the highest level,
    # without a time stamp in the header.
    find_program(VORBEX_GZIP gzip REQUIRED)
    set(package_dir ${PROJECT_BINARY_DIR}/package)
    # The changelog entry is dated with the source, not with the configure
    # run: string(TIMESTAMP) takes SOURCE_DATE_EPOCH when it is set.
    set(caller_date "$ENV{SOURCE_DATE_EPOCH}")
    set(ENV{SOURCE_DATE_EPOCH} ${VORBEX_SOURCE_DATE_EPOCH})
    string(TIMESTAMP VORBEX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
    if(caller_date STREQUAL "")
        unset(ENV{SOURCE_DATE_EPOCH})
    else()
        set(ENV{SOURCE_DATE_EPOCH} "${caller_date}")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.Debian.in ${package_dir}/changelog.Debian
                   @ONLY)
    add_custom_command(
        OUTPUT ${package_dir}/vorbex.1.gz ${package_dir}/changelog.Debian.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/vorbex.1 ${package_dir}/vorbex.1
        COMMAND ${VORBEX_GZIP} -9nf ${package_dir}/vorbex.1
        COMMAND ${VORBEX_GZIP} -9nkf ${package_dir}/changelog.Debian
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/vorbex.1 ${package_dir}/changelog.Debian
        VERBATIM)
    add_custom_target(vorbex_package_files ALL
        DEPENDS ${package_dir}/vorbex.1.gz ${package_dir}/changelog.Debian.gz)

    # The manual page, the README and the copyright file go in both
    # packages: vorbex_package_docs for the .deb, vorbex_archive_docs for the
    # .tar.gz, which also has LICENSE. The .deb does without it: its
    # copyright file holds the licence's whole text already, as Debian wants
    # it. (The .tar.gz takes all of share/ from one component: cpack's
    # archives list a folder again for each component that fills it.)
    foreach(component IN ITEMS vorbex_package_docs vorbex_archive_docs)
        install(FILES ${package_dir}/vorbex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
                COMPONENT ${component} EXCLUDE_FROM_ALL)
        install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright ${PROJECT_SOURCE_DIR}/README.md
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorbex
                COMPONENT ${component} EXCLUDE_FROM_ALL)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorbex
            COMPONENT vorbex_archive_docs EXCLUDE_FROM_ALL)
    install(FILES ${package_dir}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorbex
            COMPONENT vorbex_debian EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME vorbex
            COMPONENT vorbex_debian EXCLUDE_FROM_ALL)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Darwin")
    # The .tar.gz is made as the Linux one is, from the same two components,
    # and named for the processor, since each build is for one:
    # vorbex-VERSION-macos-arm64 or vorbex-VERSION-macos-x86_64. It holds
    # bin/vorbex, the manual page gzip'ed as on Linux (man on macOS reads it
    # so), and under share/doc/vorbex/ the licence and the copyright file.
    set(CPACK_GENERATOR TGZ)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        set(CPACK_SYSTEM_NAME macos-arm64)
    else()
        set(CPACK_SYSTEM_NAME macos-${CMAKE_SYSTEM_PROCESSOR})
    endif()

    find_program(VORBEX_GZIP gzip REQUIRED)
    set(package_dir ${PROJECT_BINARY_DIR}/package)
    add_custom_command(
        OUTPUT ${package_dir}/vorbex.1.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/vorbex.1 ${package_dir}/vorbex.1
        COMMAND ${VORBEX_GZIP} -9nf ${package_dir}/vorbex.1
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/vorbex.1
        VERBATIM)
    add_custom_target(vorbex_package_files ALL DEPENDS ${package_dir}/vorbex.1.gz)
    install(FILES ${package_dir}/vorbex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT vorbex_archive_docs EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright ${PROJECT_SOURCE_DIR}/LICENSE
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorbex
            COMPONENT vorbex_archive_docs EXCLUDE_FROM_ALL)
endif()

include(CPack)
