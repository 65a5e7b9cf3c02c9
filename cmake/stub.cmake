# Windows build: the installer stub, padded to exactly VANTOREL_STUB_SIZE
# bytes, and the uninstaller, held to VANTOREL_UNINSTALL_SIZE.
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/stub_flags.cmake)

set(VANTOREL_UNINSTALL_SIZE 16384)

# Our own entry points, without the C runtime's start-up code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VANTOREL_ENTRY _StubEntry)
    set(VANTOREL_UNINSTALL_ENTRY _UninstallEntry)
else()
    set(VANTOREL_ENTRY StubEntry)
    set(VANTOREL_UNINSTALL_ENTRY UninstallEntry)
endif()

set(VANTOREL_WIN32_SOURCES platform/win32/platform_win32.cpp frontend/win32/installer_dialog.cpp
    frontend/win32/stub_entry.cpp frontend/win32/installer.rc)
list(TRANSFORM VANTOREL_WIN32_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/)

# The resource compiler does not see the files that the scripts name.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/frontend/win32/installer.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/frontend/win32/vantorel.ico;${CMAKE_SOURCE_DIR}/src/frontend/win32/vantorel.manifest")
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/uninstall/win32/uninstall.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/uninstall/win32/uninstall.ico;${CMAKE_SOURCE_DIR}/src/frontend/win32/vantorel.manifest")
add_executable(vantorel_image WIN32 ${VANTOREL_PORTABLE_SOURCES} ${VANTOREL_WIN32_SOURCES})
target_include_directories(vantorel_image PRIVATE ${CMAKE_SOURCE_DIR}/src)
# The x86-64 stub has nothing to relocate; the i686 one has some 800 bytes of
# relocations, more than its room.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    vantorel_stub_options(vantorel_image ${VANTOREL_ENTRY} ON ON)
else()
    vantorel_stub_options(vantorel_image ${VANTOREL_ENTRY} OFF ON)
endif()

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

# The uninstaller: the log reader, the registry root table, the platform and
# its own code.
set(VANTOREL_UNINSTALL_WIN32_SOURCES script/command_records.cpp script/log_reader.cpp
    actions/system_operations.cpp platform/format_text.cpp
    platform/win32/platform_win32.cpp uninstall/win32/self_removal.cpp
    uninstall/win32/undo_platform.cpp uninstall/win32/uninstall_entry.cpp uninstall/win32/uninstall.rc)
list(TRANSFORM VANTOREL_UNINSTALL_WIN32_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/)
add_executable(uninstall_image WIN32 ${VANTOREL_UNINSTALL_SOURCES} ${VANTOREL_UNINSTALL_WIN32_SOURCES})
target_include_directories(uninstall_image PRIVATE ${CMAKE_SOURCE_DIR}/src)
vantorel_stub_options(uninstall_image ${VANTOREL_UNINSTALL_ENTRY} ON OFF)

set(VANTOREL_UNINSTALLER ${CMAKE_BINARY_DIR}/uninstall.exe)
add_custom_command(OUTPUT ${VANTOREL_UNINSTALLER} ${VANTOREL_UNINSTALLER}.size
    COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:uninstall_image>
            -DOUT=${VANTOREL_UNINSTALLER} -DSIZE=${VANTOREL_UNINSTALL_SIZE} -DPAD=OFF
            -P ${CMAKE_SOURCE_DIR}/cmake/pad_stub.cmake
    DEPENDS uninstall_image ${CMAKE_SOURCE_DIR}/cmake/pad_stub.cmake
    VERBATIM)
add_custom_target(uninstall ALL DEPENDS ${VANTOREL_UNINSTALLER})
