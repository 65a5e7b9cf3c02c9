# Size discipline for the installer stub: no C runtime start-up, no exceptions,
# no unwind tables, unused sections dropped, msvcrt.dll imported. Each program
# is optimised as one at link time, which inlines across files the many
# functions with one caller (some 2.3 KB less code for i686, 2.9 KB for x86-64).
#
# Code generation, given at compile and at link time alike (with LTO the code
# is generated at link time): -Oz; no jump threading; loops not turned into
# memset or memcpy calls; data at its ABI alignment, not padded to 32 bytes.
# i686: no frame pointer, and the 4-byte stack alignment that is all Windows
# guarantees anyway. x86-64: data addressed directly, not through .refptr
# pointers; no jump tables. Together 1.2 KB less code for i686, 0.5 KB for
# x86-64; an i686 silent install of 40 MB under Wine took no more CPU time.
set(VANTOREL_STUB_CODEGEN -Oz -malign-data=abi -fno-thread-jumps
    -fno-tree-loop-distribute-patterns)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND VANTOREL_STUB_CODEGEN -fomit-frame-pointer -mpreferred-stack-boundary=2)
    set(VANTOREL_STUB_LINK -Wl,--no-seh) # no structured exception handlers: SafeSEH holds
else()
    # mingw's gcc realigns the stack in functions with 16-byte locals, as it
    # must for i686; the x86-64 ABI already keeps it aligned (48 bytes).
    list(APPEND VANTOREL_STUB_CODEGEN -mcmodel=small -fno-jump-tables -mno-stackrealign)
    # Passes that trade bytes for speed, which the x86-64 stub cannot spare:
    # its code and import table are 4% larger than i686's in the same room.
    # Together 432 bytes.
    list(APPEND VANTOREL_STUB_CODEGEN -fno-move-loop-invariants -fno-caller-saves
        -fno-tree-dominator-opts -fno-tree-tail-merge -fno-code-hoisting -fno-partial-inlining
        -fno-ssa-phiopt -fno-tree-scev-cprop -fno-ipa-modref)
endif()

# Link-time optimisation runs without the linker plugin, as one whole program
# whose entry point alone is seen from outside (externally_visible): ld 2.40
# crashes making base relocations for objects that the plugin hands it. The
# code is the same as the plugin's, byte for byte.
#
# MOVABLE: the image may be moved (ASLR), with its base relocations if it has
# any. SMALL_LAYOUT: stub.ld's three sections, which keep no relocations: for
# the stub. The uninstaller, which has room and relocations, keeps the
# linker's own layout.
function(vantorel_stub_options target entry movable small_layout)
    set(lto -flto -fno-use-linker-plugin -fwhole-program)
    if(movable)
        set(relocations -Wl,--enable-reloc-section -Wl,--dynamicbase)
        if(CMAKE_SIZEOF_VOID_P EQUAL 8)
            list(APPEND relocations -Wl,--high-entropy-va)
        endif()
    else()
        set(relocations -Wl,--disable-reloc-section)
    endif()
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX,C>:${VANTOREL_STUB_CODEGEN} -flto -ffat-lto-objects -fno-exceptions -fno-rtti
        -fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections
        -fno-stack-protector -fno-threadsafe-statics -fno-ident -Wall -Wextra
        -include ${CMAKE_SOURCE_DIR}/src/platform/win32/msvcrt_imports.h>)
    # No -fdata-sections: with it mingw's gcc puts zeroed variables into .data$
    # sections that take file space (some 7 KB here) instead of .bss.
    # mingw would route printf-style calls to its own formatter, which lives in
    # a library the stub does not link; msvcrt has them all.
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN VANTOREL_STUB)
    # No time stamp in the header: the same sources give the same bytes.
    target_link_options(${target} PRIVATE ${VANTOREL_STUB_CODEGEN} ${lto} -nostartfiles -nostdlib
        -s -Wl,--gc-sections -Wl,--file-alignment,512 -Wl,--section-alignment,4096
        ${relocations} -Wl,--disable-runtime-pseudo-reloc -Wl,--exclude-all-symbols
        -Wl,--no-insert-timestamp -Wl,--tsaware -Wl,-e,${entry} ${VANTOREL_STUB_LINK})
    if(small_layout)
        target_link_options(${target} PRIVATE -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/stub.ld)
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/stub.ld)
    endif()
    target_link_libraries(${target} PRIVATE msvcrt kernel32 user32 advapi32 shell32 ole32 uuid gcc)
endfunction()
