# Pads the linked image to the package offset (the loader ignores trailing
# bytes); fails, naming the size, when the image does not fit. A stub that
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
file(RENAME "${OUT}.part" "${OUT}")
file(WRITE "${OUT}.size" "${image_size}\n")
if(PAD STREQUAL "OFF")
    message(STATUS "${name}: ${image_size} bytes of at most ${SIZE}")
else()
    message(STATUS "${name}: ${image_size} bytes before padding, padded to ${SIZE}")
endif()
