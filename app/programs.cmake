# The Windows programs. Included by the top-level CMakeLists.txt once every library exists.
# nimba_shell is the window layer (window, procedure, message loop, Direct2D canvas) that the
# editor and the tests share.
if(NOT WIN32)
    return()
endif()

add_library(nimba_shell STATIC
    ${CMAKE_SOURCE_DIR}/app/main_window_win32.cpp
    ${CMAKE_SOURCE_DIR}/app/draw/d2d_canvas_win32.cpp)
target_link_libraries(nimba_shell PUBLIC nimba_app d2d1 dwrite ole32 uuid)

# The program icon, rendered from the artwork by a host tool.
nimba_host_tool(make_icon_tool make_icon)
set(nimba_icon_svg ${CMAKE_SOURCE_DIR}/app/assets/art/icon.svg)
set(nimba_resource_dir ${CMAKE_BINARY_DIR}/app/resources)
set(nimba_icon ${nimba_resource_dir}/nimba-editor.ico)
add_custom_command(OUTPUT ${nimba_icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${nimba_resource_dir}
    COMMAND ${make_icon_tool} ${nimba_icon_svg} ${nimba_icon}
    DEPENDS host_tools ${nimba_icon_svg} ${CMAKE_SOURCE_DIR}/tools/host/make_icon.cpp
    COMMENT "Rendering the program icon")
set(nimba_rc ${CMAKE_SOURCE_DIR}/app/resources/nimba-editor.rc)
set_source_files_properties(${nimba_rc} PROPERTIES
    OBJECT_DEPENDS "${nimba_icon};${CMAKE_SOURCE_DIR}/app/resources/nimba-editor.manifest")

# The editor's run (window, state, worker, loop, shutdown), shared by the editions.
add_library(nimba_editor_run STATIC ${CMAKE_SOURCE_DIR}/app/editor_win32.cpp)
target_link_libraries(nimba_editor_run PUBLIC nimba_shell nimba_ui nimba_device)

add_executable(nimba-editor WIN32 ${CMAKE_SOURCE_DIR}/app/main_win32.cpp ${nimba_rc})
target_include_directories(nimba-editor PRIVATE ${nimba_resource_dir}
    ${CMAKE_SOURCE_DIR}/app/resources)
target_link_libraries(nimba-editor PRIVATE nimba_editor_run nimba_midi_rtmidi nimba_fetch nimba_ir)
set_target_properties(nimba-editor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)

# The demo edition: the same editor on the built-in virtual amplifier.
add_executable(nimba-editor-demo WIN32 ${CMAKE_SOURCE_DIR}/app/demo_main_win32.cpp ${nimba_rc})
target_include_directories(nimba-editor-demo PRIVATE ${nimba_resource_dir}
    ${CMAKE_SOURCE_DIR}/app/resources)
target_link_libraries(nimba-editor-demo PRIVATE nimba_editor_run nimba_emulator nimba_ir)
set_target_properties(nimba-editor-demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
