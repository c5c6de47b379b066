# nimba_editor_libraries(<var>): every editor library this build made, in link order, for the
# executables (benchmarks, fuzzers) that link the whole editor.
function(nimba_editor_libraries var)
    set(libs)
    foreach(lib nimba_ui nimba_ir nimba_emulator nimba_device nimba_draw nimba_app)
        if(TARGET ${lib})
            list(APPEND libs ${lib})
        endif()
    endforeach()
    set(${var} ${libs} PARENT_SCOPE)
endfunction()
