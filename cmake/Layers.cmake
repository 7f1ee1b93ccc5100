# The folders under src/ are layers. Each is a static library that links only the layers it may
# use, and each may include only the headers of those layers: a forbidden include fails the build
# (checked at configure time and again whenever a source file changes).
set(QUENTARIL_LAYERS base mail auth list export job commands app)
set(QUENTARIL_LAYER_USES_base "")
set(QUENTARIL_LAYER_USES_mail base)
set(QUENTARIL_LAYER_USES_auth base)
set(QUENTARIL_LAYER_USES_list base)
set(QUENTARIL_LAYER_USES_export list base)
set(QUENTARIL_LAYER_USES_job export list mail auth base)
set(QUENTARIL_LAYER_USES_commands job auth mail list base)
set(QUENTARIL_LAYER_USES_app base mail auth list export job commands)

# quentaril_layer(<folder> SOURCES <files...>): the library quentaril_<folder> from the folder's
# sources, linked to the libraries of the layers it may use.
function(quentaril_layer folder)
    cmake_parse_arguments(L "" "" "SOURCES" ${ARGN})
    add_library(quentaril_${folder} STATIC ${L_SOURCES})
    target_include_directories(quentaril_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    foreach(used IN LISTS QUENTARIL_LAYER_USES_${folder})
        if(EXISTS ${PROJECT_SOURCE_DIR}/src/${used})
            target_link_libraries(quentaril_${folder} PUBLIC quentaril_${used})
        endif()
    endforeach()
endfunction()
