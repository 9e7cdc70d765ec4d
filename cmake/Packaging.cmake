# The Debian package: in the build directory, `cpack` (or `cpack -G DEB`) makes
# tessary_<version>_<architecture>.deb from the install rules.

# Man pages go in gzip-compressed, as Debian ships them, with the version in their footer;
# -n leaves out the name and time stamp so the bytes depend on the text alone.
set(TESSARY_MAN_SOURCES ${PROJECT_SOURCE_DIR}/docs/man/tessary-cli.1)
if(TESSARY_GUI)
    list(APPEND TESSARY_MAN_SOURCES ${PROJECT_SOURCE_DIR}/docs/man/tessary.1)
endif()
find_program(GZIP_PROGRAM gzip REQUIRED)
set(TESSARY_MAN_PAGES)
foreach(page ${TESSARY_MAN_SOURCES})
    get_filename_component(name ${page} NAME)
    set(versioned ${PROJECT_BINARY_DIR}/man/source/${name})
    configure_file(${page} ${versioned} @ONLY)
    set(plain ${PROJECT_BINARY_DIR}/man/${name})
    add_custom_command(OUTPUT ${plain}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${versioned} ${plain}
        COMMAND ${GZIP_PROGRAM} -9nf ${plain}
        DEPENDS ${versioned}
        COMMENT "Compressing the man page ${name}"
        VERBATIM)
    list(APPEND TESSARY_MAN_PAGES ${plain}.gz)
endforeach()
add_custom_target(tessary_man_pages ALL DEPENDS ${TESSARY_MAN_PAGES})
install(FILES ${TESSARY_MAN_PAGES} DESTINATION share/man/man1)

set(TESSARY_PACKAGE_CONTACT "Tessary Maintainers <maintainers@tessary.example.org>"
    CACHE STRING "Maintainer of the Debian package (name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tessary project")
set(CPACK_PACKAGE_CONTACT ${TESSARY_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "check and prepare a directory of files for another file system or Web server")
# The long description, which CPack puts under the summary line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessary prepares a directory of files made on one system for publishing on
another: a Web site for a server, or a file set for a CD-ROM or an ISO image.
It checks every name against a target file system (ISO 9660, DOS 8.3,
Windows, Macintosh, UNIX) and renames entries to unique valid names,
converts the line ends of text files, rewrites links to renamed files, and
reports broken local links, HTML syntax errors, unused files and external
URLs. Every run that changes files can be undone from its journal.
.
The package holds the Qt desktop program (tessary) and the command line
for scripts and CI (tessary-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The dependencies come from the libraries the programs link; without dpkg-shlibdeps
# (package dpkg-dev) they are named by hand.
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
    if(TESSARY_GUI)
        string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
               ", libqt6core6, libqt6gui6, libqt6widgets6, libqt6printsupport6")
    endif()
endif()

include(CPack)
