# Folders depend downward only. Each folder has a level; a file may include headers of its own
# folder and of folders on a lower level, never of a higher or equal other one. Run with
#   cmake -DROOT=<source dir> -P check_layering.cmake
set(levels
    "link:0" "base:1" "events:2" "params:3"
    "config:4" "status:4" "clock:4" "radio:4" "firmware:4"
    "app:5" "sim:5")

function(level_of folder out)
    set(result -1)
    foreach(entry IN LISTS levels)
        string(REPLACE ":" ";" pair "${entry}")
        list(GET pair 0 name)
        list(GET pair 1 value)
        if(name STREQUAL folder)
            set(result ${value})
        endif()
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

set(problems "")
foreach(entry IN LISTS levels)
    string(REPLACE ":" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 level)
    file(GLOB files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^#include \"[a-z]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" used "${line}")
            if(used STREQUAL folder)
                continue()
            endif()
            level_of(${used} usedLevel)
            if(usedLevel LESS 0 OR NOT usedLevel LESS level)
                file(RELATIVE_PATH rel "${ROOT}" "${file}")
                string(APPEND problems "  ${rel}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "These includes point up or sideways:\n${problems}")
endif()
message(STATUS "layering: every include points downward")
