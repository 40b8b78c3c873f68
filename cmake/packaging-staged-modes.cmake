# Run by cpack after it has installed the files of a package in its staging
# folder and before it packs them (CPACK_PRE_BUILD_SCRIPTS).
#
# cpack makes the staging folders with the umask of whoever runs it: under
# 077 the .deb would install /usr/share/doc/vorbex readable by root only,
# and under any umask but 022 the packages would not be the same bytes as
# everyone else's. Every folder gets the modes Debian wants instead; the
# files have theirs from the install rules already.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
set(folders "${CPACK_TEMPORARY_DIRECTORY}")
foreach(path IN LISTS staged)
    if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
        list(APPEND folders "${path}")
    endif()
endforeach()
file(CHMOD ${folders} DIRECTORY_PERMISSIONS ${CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
