# The twelve factory cabinet IRs: synthesised at build time by the ir_synth host tool from its
# per-cabinet recipes and embedded into nimba_core as nimba_blob_cabinet_0 .. cabinet_11.
nimba_host_tool(ir_synth_tool ir_synth)
set(cabinet_blob_dir ${CMAKE_BINARY_DIR}/assets)
set(cabinet_blobs)
set(cabinet_embeds)
foreach(i RANGE 0 11)
    list(APPEND cabinet_blobs ${cabinet_blob_dir}/cabinet_${i}.rw)
    list(APPEND cabinet_embeds cabinet_${i} ${cabinet_blob_dir}/cabinet_${i}.rw)
endforeach()

add_custom_command(
    OUTPUT ${cabinet_blobs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${cabinet_blob_dir}
    COMMAND ${ir_synth_tool} ${cabinet_blob_dir}
    DEPENDS host_tools ${ir_synth_tool}
    COMMENT "Synthesising the factory cabinet IRs"
    VERBATIM)
add_custom_target(nimba_cabinet_blobs DEPENDS ${cabinet_blobs})
add_dependencies(nimba_core nimba_cabinet_blobs)
nimba_embed_blobs(nimba_core ${cabinet_embeds})
