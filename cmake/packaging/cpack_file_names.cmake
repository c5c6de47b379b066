# Read by cpack once per generator: the setup's file name says what it is; the zip keeps the
# plain package name.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
