# What a release holds: the programs a user runs and README.txt, side by side
# at the top, since the programs work in the folder that holds them and a
# release is unpacked beside its ROFS folder. `cmake --install` lays it out,
# CPack packs it.

# Not /usr/local: a release is a folder of its own.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX ${PROJECT_BINARY_DIR}/release
        CACHE PATH "Where cmake --install lays out the release" FORCE)
endif()

set(obey_programs obeygen-cli)
foreach(window ObeyGen obeygen)
    if(TARGET ${window})
        list(APPEND obey_programs ${window})
    endif()
endforeach()
# One component per file, named after it: CPack (CMake 3.25) adds a folder's
# files in the order the file system lists them, which differs between
# machines, but adds the components in the order of their names.
foreach(program IN LISTS obey_programs)
    install(TARGETS ${program} RUNTIME DESTINATION . COMPONENT ${program})
endforeach()

# README.txt, each platform's own, in UTF-8 with a byte order mark, which
# Notepad on a Chinese Windows needs to read it as anything but GBK; CR LF
# there, LF on Linux.
if(WIN32)
    set(readme_platform windows)
    set(readme_newlines CRLF)
else()
    set(readme_platform linux)
    set(readme_newlines UNIX)
endif()
configure_file(${PROJECT_SOURCE_DIR}/docs/README-${readme_platform}.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY
               NEWLINE_STYLE ${readme_newlines})
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT README.txt)

if(WIN32)
    set(CPACK_PACKAGE_NAME ObeyGen)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_PACKAGE_NAME obeygen)
    set(CPACK_GENERATOR TGZ)
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()
# ObeyGen-1.0.0.0-win64.zip, obeygen-1.0.0.0-linux-x86_64.tar.gz.
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

# The same sources give the same archive. CPack stamps the entries with
# $SOURCE_DATE_EPOCH, which cmake/cpack_project.cmake sets to the last
# commit's time unless it is given (the first day a zip can hold if there is
# no history); the modes are the install rules'. The owners are those of the
# files packed, so releases are packed as root (scripts/release.sh).
execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE CPACK_OBEY_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(NOT CPACK_OBEY_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(CPACK_OBEY_SOURCE_DATE_EPOCH 315532800)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
include(CPack)
