# The browser edition's build settings (Emscripten from Debian, the `web` preset). Every target
# is built with -pthread (the device link runs on a pthread, std::thread needs it) and
# -fexceptions (emcc's default removes every catch). The test executables run under node: their
# main runs on a pthread so it may block, and they see the real file system.
foreach(lang C CXX)
    # emcc's JavaScript passes need acorn, which Debian keeps outside node's default path.
    set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endforeach()
add_compile_options(-pthread -fexceptions)
add_link_options(-pthread -fexceptions -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=100663296
                 -Wno-pthreads-mem-growth)

# nimba_web_test_options(<target>): the settings a test executable needs under node.
function(nimba_web_test_options target)
    target_link_options(${target} PRIVATE -sPROXY_TO_PTHREAD=1 -sEXIT_RUNTIME=1 -sNODERAWFS=1)
endfunction()
