# The date that every time stamp in the packages takes (the Debian
# changelog, the members of the .deb, .tar.gz and .zip and their gzip
# headers), so that two builds of the same source give the same bytes,
# whenever and wherever they run:
# - SOURCE_DATE_EPOCH from the environment, when the caller sets it;
# - else the time of the last commit, in a git checkout of vorbex;
# - else the newest modification time of the source files. An archive made
#   with `git archive` gives its files the time of its commit, so an
#   unpacked one gets the same date as the checkout of that commit.
#
# Included by packaging.cmake. Run as a script,
#   cmake -DSOURCE_DIR=<source folder> -P cmake/source-date-epoch.cmake
# prints the date that a build of that folder takes, for CI to check.

# Sets ${out_var} to the date, in seconds since 1970, for the source in
# ${source_dir}, and ${out_var}_FROM to where it came from.
function(vorbex_source_date_epoch out_var source_dir)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
            message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: $ENV{SOURCE_DATE_EPOCH}")
        endif()
        set(${out_var} "$ENV{SOURCE_DATE_EPOCH}" PARENT_SCOPE)
        set(${out_var}_FROM "SOURCE_DATE_EPOCH" PARENT_SCOPE)
        return()
    endif()

    file(REAL_PATH "${source_dir}" source_dir)
    find_program(VORBEX_GIT git)
    mark_as_advanced(VORBEX_GIT)
    if(VORBEX_GIT)
        # Only a checkout of vorbex itself counts: an unpacked archive inside
        # some other repository must not take that repository's date.
        execute_process(COMMAND ${VORBEX_GIT} rev-parse --show-toplevel
                        WORKING_DIRECTORY "${source_dir}"
                        OUTPUT_VARIABLE top RESULT_VARIABLE top_rc
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(top_rc EQUAL 0)
            file(REAL_PATH "${top}" top)
        endif()
        if(top_rc EQUAL 0 AND top STREQUAL source_dir)
            execute_process(COMMAND ${VORBEX_GIT} log -1 --no-show-signature --format=%ct
                            WORKING_DIRECTORY "${source_dir}"
                            OUTPUT_VARIABLE commit_time RESULT_VARIABLE log_rc
                            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(log_rc EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
                set(${out_var} "${commit_time}" PARENT_SCOPE)
                set(${out_var}_FROM "the last commit" PARENT_SCOPE)
                # A new commit or a checkout moves HEAD and writes its log:
                # configure again then, so that a build tree never packs
                # with the date of a commit it no longer builds.
                execute_process(COMMAND ${VORBEX_GIT} rev-parse --git-path logs/HEAD
                                WORKING_DIRECTORY "${source_dir}"
                                OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE
                                ERROR_QUIET)
                if(head_log)
                    get_filename_component(head_log "${head_log}" ABSOLUTE BASE_DIR "${source_dir}")
                endif()
                if(head_log AND EXISTS "${head_log}" AND NOT CMAKE_SCRIPT_MODE_FILE)
                    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
                endif()
                return()
            endif()
        endif()
    endif()

    # No git, or not a checkout: the newest source file. Build trees inside
    # the source folder (any folder with a CMakeCache.txt) and git's own
    # folder are left out, or a build would date the next one.
    file(GLOB_RECURSE files LIST_DIRECTORIES false "${source_dir}/*")
    file(GLOB_RECURSE caches LIST_DIRECTORIES false "${source_dir}/*/CMakeCache.txt")
    set(skipped "${source_dir}/.git")
    foreach(cache IN LISTS caches)
        get_filename_component(build_dir "${cache}" DIRECTORY)
        list(APPEND skipped "${build_dir}")
    endforeach()
    set(newest 0)
    foreach(file IN LISTS files)
        set(skip NO)
        foreach(dir IN LISTS skipped)
            cmake_path(IS_PREFIX dir "${file}" skip)
            if(skip)
                break()
            endif()
        endforeach()
        if(skip)
            continue()
        endif()
        file(TIMESTAMP "${file}" mtime "%s" UTC)
        if(mtime GREATER newest)
            set(newest ${mtime})
        endif()
    endforeach()
    if(newest EQUAL 0)
        message(FATAL_ERROR "No source file to take a date from in ${source_dir}")
    endif()
    set(${out_var} "${newest}" PARENT_SCOPE)
    set(${out_var}_FROM "the newest source file" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    cmake_minimum_required(VERSION 3.25)
    if(NOT DEFINED SOURCE_DIR)
        message(FATAL_ERROR "Usage: cmake -DSOURCE_DIR=<source folder> -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    vorbex_source_date_epoch(date "${SOURCE_DIR}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${date} ${date_FROM}")
endif()
