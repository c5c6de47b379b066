# What each edition installs and the packages CPack makes of it, with the names and version of
# cmake/version.cmake. Windows: nimba-editor-<version>-win64-setup.exe (NSIS, the script is
# cmake/packaging/NSIS.template.in) and the portable nimba-editor-<version>-win64.zip.
# Linux: nimba-editor_<version>_amd64.deb. Made by the `package` target.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake/packaging)

set(CPACK_PACKAGE_NAME nimba-editor)
set(CPACK_PACKAGE_VENDOR ${nimba_vendor})
set(CPACK_PACKAGE_VERSION ${nimba_version})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the ${nimba_vendor} NIMBA guitar amplifier")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${nimba_product})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/packaging/cpack_file_names.cmake)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    # Beside the programs (their install rules are in app/win32 and tools), a short readme.
    set(readme ${CMAKE_BINARY_DIR}/packaging/README.txt)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/packaging/README-windows.txt.in ${readme} @ONLY
                   NEWLINE_STYLE CRLF)
    install(FILES ${readme} DESTINATION .)

    set(CPACK_GENERATOR NSIS ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${nimba_version}-win64)
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${nimba_product})
    set(CPACK_NSIS_DISPLAY_NAME ${nimba_product})
    set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
    get_property(icon GLOBAL PROPERTY nimba_windows_icon)
    set(CPACK_NSIS_MUI_ICON ${icon})
    set(CPACK_NSIS_MUI_UNIICON ${icon})
    set(CPACK_NIMBA_COPYRIGHT ${nimba_copyright})
else()
    # Into /usr; the dependencies are the packages of the libraries the programs link
    # (dpkg-shlibdeps).
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${nimba_vendor})
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    # xz, as dpkg itself packs: its window spans both editions, so the pictures the editor and
    # the demo each embed are stored once in the package (gzip stored them twice: 7.5 MB).
    set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
    # The summary line comes first by itself.
    string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Edits the programs, cabinet slots and settings of a NIMBA connected over USB MIDI.\n"
        "Also installs a demo edition on a built-in virtual amplifier and nimba-cli, the\n"
        "command-line tool.")
endif()

include(CPack)
