# nimba_embed_blobs(<target> <symbol> <file> [<symbol> <file> ...])
# Embeds each file in <target> with an assembler .incbin (ELF, PE and wasm) and exports
#   extern "C" const unsigned char nimba_blob_<symbol>[];  and  nimba_blob_<symbol>_end[]
# Files may be generated: the assembler source depends on them.
function(nimba_embed_blobs target)
    set(args ${ARGN})
    list(LENGTH args n)
    math(EXPR last "${n} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET args ${i} sym)
        list(GET args ${j} file)
        set(asm ${CMAKE_CURRENT_BINARY_DIR}/embed_${sym}.S)
        file(CONFIGURE OUTPUT ${asm} CONTENT [[
#if defined(__wasm__)
    // wasm objects keep each data symbol in a section of its own, with its size.
    .section .rodata.nimba_blob_@sym@,"",@
    .globl nimba_blob_@sym@
    .globl nimba_blob_@sym@_end
    .p2align 4
nimba_blob_@sym@:
    .incbin "@file@"
    .size nimba_blob_@sym@, nimba_blob_@sym@_end - nimba_blob_@sym@
nimba_blob_@sym@_end:
    .byte 0
    .size nimba_blob_@sym@_end, 1
#else
#if defined(_WIN32)
    .section .rdata,"dr"
#else
    .section .rodata
#endif
    .global nimba_blob_@sym@
    .global nimba_blob_@sym@_end
    .balign 16
nimba_blob_@sym@:
    .incbin "@file@"
nimba_blob_@sym@_end:
    .byte 0
#if !defined(_WIN32)
    .section .note.GNU-stack,"",@progbits
#endif
#endif
]] @ONLY)
        set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${file})
        target_sources(${target} PRIVATE ${asm})
    endforeach()
endfunction()
