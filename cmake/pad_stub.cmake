# Pads the linked image to the package offset (the loader ignores trailing
# bytes); fails, naming the size, when the image does not fit.
file(SIZE "${IMAGE}" image_size)
if(image_size GREATER SIZE)
    message(FATAL_ERROR "vantorel.exe is ${image_size} bytes, over the ${SIZE}-byte budget")
endif()
file(COPY_FILE "${IMAGE}" "${OUT}")
execute_process(COMMAND truncate -s ${SIZE} "${OUT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not pad ${OUT}")
endif()
file(WRITE "${OUT}.size" "${image_size}\n")
message(STATUS "vantorel.exe: ${image_size} bytes before padding, padded to ${SIZE}")
