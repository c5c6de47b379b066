# The pictures: the SVG artwork under art/ rasterised at build time by the art_raster host tool
# into colour pictures and masks stored as PNG, embedded into nimba_core as nimba_blob_art_<name>
# (listed in the order of the picture enum; pictures.cpp keeps the same order) and decoded when
# first drawn. art_digests.inc (in the same folder) lists the digest of each raw picture for
# the tests. The four channel pictures are the amplifier with a few hundred pixels lit, so each
# is stored as its byte-wise XOR with the amplifier: still an RGBA PNG read by the one decoder,
# a few KB instead of 390 KB (3.1 MB of PNGs become about 1.6 MB), and the amplifier is decoded
# for every frame anyway.
# `cmake --build <dir> --target art_sheets` draws a contact sheet and a screen preview.
nimba_host_tool(art_raster_tool art_raster)
set(art_dir ${CMAKE_CURRENT_LIST_DIR}/art)
set(art_blob_dir ${CMAKE_BINARY_DIR}/assets/art)
set(art_colour_pictures
    amplifier tolex_snake_skin tolex_purple tolex_red tolex_turquoise tolex_white
    channel_blue channel_violet channel_red channel_green)
set(art_masks
    logo icon_store icon_midi icon_link icon_import icon_page icon_virtual_cab icon_custom_shop
    arrow_left arrow_right diagram_base diagram_accent diagram_slot_0 diagram_slot_1
    diagram_slot_2 diagram_slot_3 diagram_slot_4 diagram_slot_5 maker_mark)

set(art_digests ${art_blob_dir}/art_digests.inc)
set(art_blobs ${art_digests})
set(art_embeds)
foreach(name ${art_colour_pictures} ${art_masks})
    list(APPEND art_blobs ${art_blob_dir}/${name}.png)
    list(APPEND art_embeds art_${name} ${art_blob_dir}/${name}.png)
endforeach()

# The program icon is made from art/icon.svg by the shell's own step, not here.
file(GLOB art_sources CONFIGURE_DEPENDS ${art_dir}/*.svg)
list(REMOVE_ITEM art_sources ${art_dir}/icon.svg)

add_custom_command(
    OUTPUT ${art_blobs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${art_blob_dir}
    COMMAND ${art_raster_tool} ${art_dir} ${art_blob_dir}
    DEPENDS host_tools ${art_raster_tool} ${art_sources}
    COMMENT "Rasterising the artwork"
    VERBATIM)
add_custom_target(nimba_art_blobs DEPENDS ${art_blobs})
add_dependencies(nimba_core nimba_art_blobs)
nimba_embed_blobs(nimba_core ${art_embeds})

# The decoder: stb_image, from Debian's libstb-dev, compiled into nimba_core by picture_png.cpp.
set(stb_dir /usr/include/stb)
if(NOT EXISTS ${stb_dir}/stb_image.h)
    message(FATAL_ERROR "stb_image.h is missing from ${stb_dir}: install libstb-dev")
endif()
target_include_directories(nimba_core SYSTEM PRIVATE ${stb_dir})

add_custom_target(art_sheets
    COMMAND ${art_raster_tool} --contact-sheet ${art_dir} ${CMAKE_BINARY_DIR}/art_contact_sheet.png
    COMMAND ${art_raster_tool} --preview ${art_dir} ${CMAKE_BINARY_DIR}/art_preview.png
    DEPENDS host_tools
    COMMENT "Drawing art_contact_sheet.png and art_preview.png"
    VERBATIM)
