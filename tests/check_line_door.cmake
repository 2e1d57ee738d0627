# The link's send, flag and wait operations are link/'s own: every other folder talks to the
# module through an exchange (link/exchange.h), a poller's door (link/linepoller.h) or the
# modem's operations (link/modem.h). Fails naming each call found outside link/. Run with
#   cmake -DROOT=<source dir> -P check_line_door.cmake
set(folders app base config params status events clock firmware radio)
set(operations SendCommand SendCommandEcho SendHexByte SendReturn SendAuthorised SendRaw
               ModuleLogin clearFlags flag wait waitFor requestPage)
string(REPLACE ";" "|" alternatives "${operations}")
set(call "(\\.|->)(${alternatives})[ \t]*\\(")

set(problems "")
foreach(folder IN LISTS folders)
    file(GLOB files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" lines)
        set(number 0)
        foreach(line IN LISTS lines)
            math(EXPR number "${number} + 1")
            string(REGEX REPLACE "//.*" "" code "${line}")
            if(code MATCHES "${call}")
                file(RELATIVE_PATH rel "${ROOT}" "${file}")
                string(STRIP "${code}" code)
                string(APPEND problems "  ${rel}:${number}: ${code}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "The link's send, flag or wait operations called outside link/ "
                        "(use the exchange, the poller's door or the modem):\n${problems}")
endif()
message(STATUS "line door: only link/ sends, reads flags and waits")
