# Size discipline for the installer stub: no C runtime start-up, no exceptions,
# no unwind tables, unused sections dropped, msvcrt.dll imported. Optimised
# as one program at link time, which inlines across files the many functions
# with one caller (some 2.3 KB less code for i686, 2.9 KB for x86-64).
function(vantorel_stub_options target entry)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX,C>:-Os -flto -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
        -fno-unwind-tables -ffunction-sections -fno-stack-protector
        -fno-threadsafe-statics -fno-ident -Wall -Wextra>)
    # No -fdata-sections: with it mingw's gcc puts zeroed variables into .data$
    # sections that take file space (some 7 KB here) instead of .bss.
    # mingw would route printf-style calls to its own formatter, which lives in
    # a library the stub does not link; msvcrt has them all.
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN VANTOREL_STUB)
    target_link_options(${target} PRIVATE -Os -flto -nostartfiles -nostdlib -s -Wl,--gc-sections
        -Wl,--file-alignment,512 -Wl,--section-alignment,4096 -Wl,--disable-reloc-section
        -Wl,--disable-runtime-pseudo-reloc -Wl,--exclude-all-symbols
        -Wl,-e,${entry} -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/stub.ld)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/stub.ld)
    target_link_libraries(${target} PRIVATE msvcrt kernel32 user32 advapi32 shell32 ole32 uuid gcc)
endfunction()
