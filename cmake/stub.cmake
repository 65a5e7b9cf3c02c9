# Windows build: the installer stub, padded to exactly VANTOREL_STUB_SIZE bytes.
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/stub_flags.cmake)

# Our own entry point, without the C runtime's start-up code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VANTOREL_ENTRY _StubEntry)
else()
    set(VANTOREL_ENTRY StubEntry)
endif()

file(GLOB VANTOREL_WIN32_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp
    ${CMAKE_SOURCE_DIR}/src/frontend/win32/*.cpp
    ${CMAKE_SOURCE_DIR}/src/frontend/win32/*.rc)

add_executable(vantorel_image WIN32 ${VANTOREL_PORTABLE_SOURCES} ${VANTOREL_WIN32_SOURCES})
target_include_directories(vantorel_image PRIVATE ${CMAKE_SOURCE_DIR}/src)
vantorel_stub_options(vantorel_image)

# The padded stub is a build step of its own: when it fails, the next build
# runs it again instead of taking the image as done.
set(VANTOREL_STUB ${CMAKE_BINARY_DIR}/vantorel.exe)
add_custom_command(OUTPUT ${VANTOREL_STUB} ${VANTOREL_STUB}.size
    COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:vantorel_image>
            -DOUT=${VANTOREL_STUB} -DSIZE=${VANTOREL_STUB_SIZE}
            -P ${CMAKE_SOURCE_DIR}/cmake/pad_stub.cmake
    DEPENDS vantorel_image ${CMAKE_SOURCE_DIR}/cmake/pad_stub.cmake
    VERBATIM)
add_custom_target(vantorel ALL DEPENDS ${VANTOREL_STUB})
