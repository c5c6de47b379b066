# The version and the names the programs and packages carry, set once here. The project() call
# holds the version; -DNIMBA_VERSION=x.y.z overrides it (the upgrade check builds a newer one).
# Makes the generated header of nimba_version and each Windows program's VERSIONINFO resource.
set(NIMBA_VERSION "" CACHE STRING "Version of the programs and packages, x.y.z (empty: the project version)")
if(NIMBA_VERSION)
    set(nimba_version ${NIMBA_VERSION})
else()
    set(nimba_version ${PROJECT_VERSION})
endif()
if(NOT nimba_version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "NIMBA_VERSION must be x.y.z, not '${nimba_version}'")
endif()
set(nimba_version_major ${CMAKE_MATCH_1})
set(nimba_version_minor ${CMAKE_MATCH_2})
set(nimba_version_patch ${CMAKE_MATCH_3})

# The day this version is released (the Linux edition's AppStream metainfo carries it).
set(nimba_release_date 2026-12-09)

set(nimba_vendor "Corvane")
set(nimba_product "NIMBA Editor")
set(nimba_copyright "Copyright (C) 2026 ${nimba_vendor}")

# The version for C++ code: #include "nimba_version.h".
configure_file(${CMAKE_SOURCE_DIR}/cmake/packaging/nimba_version.h.in
               ${CMAKE_BINARY_DIR}/generated/nimba_version.h @ONLY)
add_library(nimba_version INTERFACE)
target_include_directories(nimba_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# nimba_version_resource(TARGET DESCRIPTION): gives a Windows program its VERSIONINFO (company,
# product, file and product version, DESCRIPTION, copyright).
function(nimba_version_resource target description)
    set(nimba_program ${target})
    set(nimba_description ${description})
    set(rc ${CMAKE_BINARY_DIR}/generated/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/packaging/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
