# nimba_editor_libraries(<var>): every editor library, in link order, for the executables
# (benchmarks, fuzzers) that link the whole editor.
function(nimba_editor_libraries var)
    set(${var} nimba_ui nimba_ir nimba_emulator nimba_device nimba_draw nimba_core PARENT_SCOPE)
endfunction()
