# Host tools (tools/host) turn readable sources into the embedded assets. They always run on the
# build machine, so they are a separate native project, also when the main build cross-compiles
# for Windows or uses sanitizers.
include(ExternalProject)

set(NIMBA_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/host
    BINARY_DIR ${NIMBA_HOST_TOOLS_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=cc -DCMAKE_CXX_COMPILER=c++
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${NIMBA_HOST_TOOLS_DIR}/ir_synth ${NIMBA_HOST_TOOLS_DIR}/art_raster)

# nimba_host_tool(<var> <name>): path of host tool <name>, built by the host_tools step.
function(nimba_host_tool var name)
    set(${var} ${NIMBA_HOST_TOOLS_DIR}/${name} PARENT_SCOPE)
endfunction()
