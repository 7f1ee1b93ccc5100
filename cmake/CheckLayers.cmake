# cmake -DSOURCE_DIR=<src> [-DSTAMP=<file>] -P CheckLayers.cmake
# Fails, naming every offending line, when a file under src/<layer>/ includes a header of a layer
# it may not use.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

set(violations "")
foreach(layer IN LISTS QUENTARIL_LAYERS)
    set(allowed ${layer} ${QUENTARIL_LAYER_USES_${layer}})
    file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
            file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
            if(header MATCHES "\\.\\./")
                string(APPEND violations "  src/${shown}: include ${header} reaches out of its folder\n")
            elseif(header MATCHES "^([^/]+)/")
                set(target_layer "${CMAKE_MATCH_1}")
                if(target_layer IN_LIST QUENTARIL_LAYERS AND NOT target_layer IN_LIST allowed)
                    string(APPEND violations "  src/${shown}: ${layer} may not include ${header}\n")
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Forbidden includes between layers:\n${violations}"
                        "Allowed: app -> every layer; commands -> job, auth, mail, list, base; "
                        "job -> export, list, mail, auth, base; export -> list, base; list -> base; "
                        "mail -> base; auth -> base; base -> Qt only.")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()
