# Run by cpack after it has made a package (CPACK_POST_BUILD_SCRIPTS).
#
# A .deb is an ar archive of three members, and cpack writes into each
# member's header the mode that the umask gave the member's file: 100664
# under umask 002, 100644 under 022. The header is plain text, so the mode
# is set to 100644 in place; nothing else in the package changes.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    file(READ "${package}" magic LIMIT 8)
    if(NOT magic STREQUAL "!<arch>\n")
        message(FATAL_ERROR "${package} is not an ar archive")
    endif()
    set(mode_file "${CPACK_TOPLEVEL_DIRECTORY}/ar-member-mode")
    file(WRITE "${mode_file}" "100644  ")
    file(SIZE "${package}" package_size)
    # Each member: a header of 60 characters (name 16, date 12, owner 6,
    # group 6, mode 8, size 10, then "`\n"), its data, and a newline after
    # data of odd length.
    set(offset 8)
    while(offset LESS package_size)
        file(READ "${package}" header OFFSET ${offset} LIMIT 60)
        string(SUBSTRING "${header}" 40 8 mode)
        string(SUBSTRING "${header}" 48 10 size)
        string(STRIP "${size}" size)
        if(NOT size MATCHES "^[0-9]+$")
            message(FATAL_ERROR "${package}: no ar member header at ${offset}")
        endif()
        if(NOT mode STREQUAL "100644  ")
            math(EXPR mode_offset "${offset} + 40")
            execute_process(COMMAND dd "of=${package}" bs=1 seek=${mode_offset} count=8
                                    conv=notrunc status=none
                            INPUT_FILE "${mode_file}" RESULT_VARIABLE dd_result)
            if(NOT dd_result EQUAL 0)
                message(FATAL_ERROR "${package}: cannot set the mode of a member (dd: ${dd_result})")
            endif()
        endif()
        math(EXPR offset "${offset} + 60 + ${size} + ${size} % 2")
    endwhile()
endforeach()
