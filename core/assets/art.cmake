# The pictures: the SVG artwork under art/ rasterised at build time by the art_raster host tool
# into colour pictures and masks stored as PNG, embedded as nimba_blob_art_<name> (listed in the
# order of the picture enum, as picture_list.h) into ${picture_store} (core/CMakeLists.txt says
# which) and decoded when first drawn; the browser edition's site holds them as files instead
# (nimba_site_pictures). art_digests.inc (in the same folder) lists the digest of each raw
# picture for the tests. The four channel pictures are the amplifier with a few hundred pixels
# lit, so each is stored as its byte-wise XOR with the amplifier: still an RGBA PNG read by the
# one decoder, a few KB instead of 390 KB (3.1 MB of PNGs become about 1.6 MB), and the
# amplifier is decoded for every frame anyway.
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
add_dependencies(${picture_store} nimba_art_blobs)
nimba_embed_blobs(${picture_store} ${art_embeds})

# nimba_site_pictures(<site folder> <files variable>): copies the pictures' PNG files into
# <site folder>/pictures and sets <files variable> to their paths in the site
# (pictures/<name>.png, in the order of the picture enum) and <files variable>_copies to the
# copies, for the target that makes the site to depend on (with nimba_art_blobs).
set_property(GLOBAL PROPERTY nimba_art_pictures ${art_colour_pictures} ${art_masks})
set_property(GLOBAL PROPERTY nimba_art_blob_dir ${art_blob_dir})
function(nimba_site_pictures site files)
    get_property(pictures GLOBAL PROPERTY nimba_art_pictures)
    get_property(blob_dir GLOBAL PROPERTY nimba_art_blob_dir)
    set(names)
    set(pngs)
    set(copies)
    foreach(name ${pictures})
        list(APPEND names pictures/${name}.png)
        list(APPEND pngs ${blob_dir}/${name}.png)
        list(APPEND copies ${site}/pictures/${name}.png)
    endforeach()
    add_custom_command(
        OUTPUT ${copies}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${site}/pictures
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${pngs} ${site}/pictures
        DEPENDS ${pngs}
        COMMENT "The site's pictures"
        VERBATIM)
    set(${files} ${names} PARENT_SCOPE)
    set(${files}_copies ${copies} PARENT_SCOPE)
endfunction()

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
