# Runs treadlectl --dry-run for a set of commands and compares what it prints with the
# expected reports, which are the same for every system the program is built for (line ends
# aside: a Windows console program ends its lines with CR LF).
#
#   cmake -DPROGRAM=treadlectl -DEXPECTED=file [-DEMULATOR=runner] -DSOURCE_DIR=dir -P dry_run_commands.cmake
# One command a line; "|" separates the arguments where one of them holds blanks.
set(commands
    "set 2 ctrl+shift+f1"
    "set 1 a --long-press on"
    "set 4 rctrl+rwin+kp-enter --delay 300"
    "set 3 mouse-right"
    "delay 65535 --long-press off"
    "run-mode --power-on off --playback single"
    "raw|aa 01 00 00 3C 00 00"
    "raw abc"
    "clear --yes"
    "apply ${SOURCE_DIR}/data/office.toml"
)
set(actual "")
foreach(line IN LISTS commands)
    if(line MATCHES "\\|")
        string(REPLACE "|" ";" command "${line}")
    else()
        separate_arguments(command UNIX_COMMAND "${line}")
    endif()
    string(REPLACE "|" " " shown "${line}")
    string(REPLACE "${SOURCE_DIR}/" "" shown "${shown}")
    execute_process(COMMAND ${EMULATOR} ${PROGRAM} --dry-run ${command}
        OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    string(REPLACE "\r\n" "\n" out "${out}")
    string(APPEND actual "$ treadlectl --dry-run ${shown}\n${out}exit ${status}\n")
endforeach()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/dry_run_actual.txt "${actual}")
    message(FATAL_ERROR "treadlectl --dry-run printed other reports than ${EXPECTED}:\n${actual}")
endif()
