# The layer rule: each folder may use only the folders listed for it (its own
# and those below it), and only the folders of the drawing and window layers
# may use Qt. CMake checks every link between the libraries against this
# table when it configures (kyto_layer_link), and the layer_rule test checks
# every #include of the sources against it (cmake/CheckLayers.cmake), so a
# lower layer can neither link nor include a higher one. docs/ARCHITECTURE.md
# shows the same table.

set(KYTO_CORE_FOLDERS base settings link protocol logging quell album app)

set(KYTO_USES_base base)
set(KYTO_USES_settings base settings)
set(KYTO_USES_link base settings link)
set(KYTO_USES_protocol base settings link protocol)
set(KYTO_USES_logging base settings logging)
set(KYTO_USES_quell quell)
set(KYTO_USES_album base settings link protocol album)
set(KYTO_USES_app base settings link protocol logging quell album app)
# Drawing (QtGui) and windows (QtWidgets, in widgets/ and every */ui folder:
# settings/ui, display/ui, album/ui, app/ui).
set(KYTO_USES_display ${KYTO_CORE_FOLDERS} display)
set(KYTO_USES_widgets ${KYTO_CORE_FOLDERS} display widgets)
set(KYTO_USES_ui ${KYTO_CORE_FOLDERS} display widgets ui)
set(KYTO_QT_FOLDERS display widgets ui)

# Folders the rule does not cover: the programs use what they need, and the
# emulator uses nothing of the application at all (checked as its own layer).
set(KYTO_USES_emulator emulator)

# kyto_layer(TARGET FOLDER): the library TARGET belongs to FOLDER's layer.
function(kyto_layer target folder)
    if(NOT DEFINED KYTO_USES_${folder})
        message(FATAL_ERROR "kyto_layer: no layer named ${folder}")
    endif()
    set_property(TARGET ${target} PROPERTY KYTO_LAYER ${folder})
endfunction()

# kyto_layer_link(TARGET [PUBLIC|PRIVATE] LIBS...): target_link_libraries that
# refuses a library of a layer TARGET may not use, and Qt outside the Qt
# layers.
function(kyto_layer_link target)
    get_property(layer TARGET ${target} PROPERTY KYTO_LAYER)
    if(NOT layer)
        message(FATAL_ERROR "kyto_layer_link: ${target} has no layer (kyto_layer)")
    endif()
    set(allowed ${KYTO_USES_${layer}})
    foreach(lib ${ARGN})
        if(lib STREQUAL "PUBLIC" OR lib STREQUAL "PRIVATE" OR lib STREQUAL "INTERFACE")
            continue()
        endif()
        if(lib MATCHES "^Qt6::")
            if(NOT layer IN_LIST KYTO_QT_FOLDERS)
                message(FATAL_ERROR "layer rule: ${target} (${layer}) may not use Qt (${lib})")
            endif()
            continue()
        endif()
        if(NOT TARGET ${lib})
            continue()
        endif()
        get_property(libLayer TARGET ${lib} PROPERTY KYTO_LAYER)
        if(libLayer AND NOT libLayer IN_LIST allowed)
            message(FATAL_ERROR
                "layer rule: ${target} (${layer}) may not link ${lib} (${libLayer}); "
                "${layer} uses only: ${allowed}")
        endif()
    endforeach()
    target_link_libraries(${target} ${ARGN})
endfunction()
