# Pads the linked image to the package offset (the loader ignores trailing
# bytes), marks an image without relocations as movable when it may move, and
# sets its CheckSum; fails, naming the size, when the image does not fit. A
# stub that does not fit leaves no padded file behind, so the next build tries
# again. With PAD=OFF (the uninstaller, which carries no package) the image is
# not padded, only held to its budget.
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

# The image's header fields are read from its bytes as hexadecimal digits and
# written by printf and dd, since CMake writes no binary bytes.
function(read_le hex offset bytes out)
    math(EXPR at "(${offset}) * 2")
    math(EXPR digits "${bytes} * 2")
    string(SUBSTRING "${hex}" ${at} ${digits} value)
    string(REGEX MATCHALL ".." pairs "${value}")
    list(REVERSE pairs)
    string(JOIN "" value ${pairs})
    math(EXPR value "0x${value}")
    set(${out} ${value} PARENT_SCOPE)
endfunction()

function(write_le offset bytes value)
    math(EXPR value "${value}")
    set(octal "")
    math(EXPR last "${bytes} - 1")
    foreach(i RANGE ${last})
        math(EXPR byte "(${value} >> (8 * ${i})) & 255")
        math(EXPR high "${byte} >> 6")
        math(EXPR middle "(${byte} >> 3) & 7")
        math(EXPR low "${byte} & 7")
        string(APPEND octal "\\${high}${middle}${low}")
    endforeach()
    math(EXPR at "${offset}")
    execute_process(COMMAND printf "${octal}"
        COMMAND dd "of=${OUT}.part" bs=1 seek=${at} conv=notrunc status=none RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE "${OUT}.part")
        message(FATAL_ERROR "could not write the header of ${OUT}")
    endif()
endfunction()

file(READ "${OUT}.part" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(SUBSTRING "${hex}" 0 4 signature)
if(signature STREQUAL "4d5a") # a PE image, not a test's bytes
    read_le("${hex}" 60 4 header)
    read_le("${hex}" "${header} + 22" 2 characteristics)
    read_le("${hex}" "${header} + 24" 2 optional_magic)
    read_le("${hex}" "${header} + 24 + 70" 2 dll_characteristics)
    if(optional_magic EQUAL 523) # PE32+
        math(EXPR directory "${header} + 24 + 112 + 5 * 8")
    else()
        math(EXPR directory "${header} + 24 + 96 + 5 * 8")
    endif()

    # An image that may move (DYNAMIC_BASE) with nothing to relocate, as the
    # x86-64 stub is, is not marked as stripped of its relocations, which the
    # linker does when it has none: the loader then moves it.
    read_le("${hex}" "${directory} + 4" 4 relocations)
    math(EXPR movable "${dll_characteristics} & 0x40")
    if(movable AND relocations EQUAL 0)
        write_le("${header} + 22" 2 "${characteristics} & ~1")
    endif()

    # The loader's CheckSum, which the linker took before the padding: 16-bit
    # words summed with their carries folded in, the field itself skipped,
    # and the file's length added.
    file(READ "${OUT}.part" hex HEX)
    math(EXPR field "${header} + 88")
    math(EXPR field_end "${field} + 4")
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
    write_le(${field} 4 ${sum})
endif()
file(RENAME "${OUT}.part" "${OUT}")
file(WRITE "${OUT}.size" "${image_size}\n")
if(PAD STREQUAL "OFF")
    message(STATUS "${name}: ${image_size} bytes of at most ${SIZE}")
else()
    message(STATUS "${name}: ${image_size} bytes before padding, padded to ${SIZE}")
endif()
