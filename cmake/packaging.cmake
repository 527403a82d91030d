# What a release holds: the programs a user runs and README.txt, side by side,
# since the programs work in the folder that holds them and a release is
# unpacked beside its ROFS folder (the zip at its top, the tarball in a folder
# of its own). `cmake --install` lays it out, CPack packs it. On Linux CPack
# also makes a Debian package of components of their own, left out of
# `cmake --install`: the programs in /usr/bin, the desktop entry and the icon.

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

if(NOT WIN32)
    foreach(program IN LISTS obey_programs)
        install(TARGETS ${program} RUNTIME DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/window/resources/obeygen.desktop
            DESTINATION share/applications COMPONENT deb EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_SOURCE_DIR}/window/resources/obeygen.png
            DESTINATION share/icons/hicolor/48x48/apps COMPONENT deb EXCLUDE_FROM_ALL)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION share/doc/obeygen
            COMPONENT deb EXCLUDE_FROM_ALL)
endif()

if(WIN32)
    set(CPACK_PACKAGE_NAME ObeyGen)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_PACKAGE_NAME obeygen)
    set(CPACK_GENERATOR TGZ DEB)
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
    # obeygen_1.0.0.0_amd64.deb, its dependencies as dpkg-shlibdeps finds
    # them in the programs.
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_PACKAGE_CONTACT "ObeyGen developers <obeygen@localhost>")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "obey list generator for ROFS images (Obey文件生成工具)")
    set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
    string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
           "obeygen (a GTK 3 window) and obeygen-cli list every file under a ROFS folder\n"
           "into ROFS.obey, the list a ROM image builder reads. Installed here, the window\n"
           "works in the folder it is started from (from the menu: the home folder).")
endif()
# ObeyGen-1.0.0.0-win64.zip, obeygen-1.0.0.0-linux-x86_64.tar.gz.
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
# The tarball's folder is set in cmake/cpack_project.cmake, per generator.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Folders CPack makes itself (the tarball's own) have these modes whatever
# the umask of whoever packs.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
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
