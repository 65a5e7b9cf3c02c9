# Pads the linked image to the package offset (the loader ignores trailing
# bytes) and sets its CheckSum; fails, naming the size, when the image does
# not fit. A stub that
# does not fit leaves no padded file behind, so the next build tries again.
# With PAD=OFF (the uninstaller, which carries no package) the image is only
# held to its budget and copied as it is.
get_filename_component(name "${OUT}" NAME)
file(REMOVE "${OUT}" "${OUT}.size")
file(SIZE "${IMAGE}" image_size)
if(image_size GREATER SIZE)
    message(FATAL_ERROR "${name} is ${image_size} bytes, over the ${SIZE}-byte budget")
endif()
configure_file("${IMAGE}" "${OUT}.part" COPYONLY)
if(NOT PAD STREQUAL "OFF")
    execute_process(COMMAND truncate -s ${SIZE} "${OUT}.part" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE "${OUT}.part")
        message(FATAL_ERROR "could not pad ${OUT}")
    endif()
endif()

# The loader's CheckSum, which the linker took before the padding: 16-bit
# words summed with their carries folded in, the field itself skipped, and the
# file's length added. Written in place by printf and dd, since CMake writes no
# binary bytes.
file(READ "${OUT}.part" hex HEX)
string(LENGTH "${hex}" digits)
string(SUBSTRING "${hex}" 120 4 header) # e_lfanew, below 64 KB
string(REGEX REPLACE "(..)(..)" "0x\\2\\1" header "${header}")
math(EXPR field "${header} + 88")
math(EXPR field_end "${field} + 4")
math(EXPR size "${digits} / 2")
string(SUBSTRING "${hex}" 0 4 signature)
if(signature STREQUAL "4d5a" AND NOT field_end GREATER size)
    string(REGEX MATCHALL "...." words "${hex}")
    set(sum 0)
    set(offset 0)
    foreach(word IN LISTS words)
        if(offset LESS field OR offset GREATER_EQUAL field_end)
            string(REGEX REPLACE "(..)(..)" "0x\\2\\1" word "${word}")
            math(EXPR sum "${sum} + ${word}")
            math(EXPR sum "(${sum} & 0xFFFF) + (${sum} >> 16)")
        endif()
        math(EXPR offset "${offset} + 2")
    endforeach()
    math(EXPR sum "(${sum} & 0xFFFF) + (${sum} >> 16) + ${size}")
    set(octal "")
    foreach(shift 0 8 16 24)
        math(EXPR byte "(${sum} >> ${shift}) & 255")
        math(EXPR digit1 "${byte} >> 6")
        math(EXPR digit2 "(${byte} >> 3) & 7")
        math(EXPR digit3 "${byte} & 7")
        string(APPEND octal "\\${digit1}${digit2}${digit3}")
    endforeach()
    execute_process(COMMAND printf "${octal}"
        COMMAND dd "of=${OUT}.part" bs=1 seek=${field} conv=notrunc status=none
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE "${OUT}.part")
        message(FATAL_ERROR "could not write the CheckSum of ${OUT}")
    endif()
endif()
file(RENAME "${OUT}.part" "${OUT}")
file(WRITE "${OUT}.size" "${image_size}\n")
if(PAD STREQUAL "OFF")
    message(STATUS "${name}: ${image_size} bytes of at most ${SIZE}")
else()
    message(STATUS "${name}: ${image_size} bytes before padding, padded to ${SIZE}")
endif()
