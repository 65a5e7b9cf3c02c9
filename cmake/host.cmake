# Host build: the package tool, unit tests, end-to-end tests, fuzzers, benchmarks.
option(VANTOREL_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
option(VANTOREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(VANTOREL_SANITIZE OR VANTOREL_FUZZ)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    if(VANTOREL_FUZZ)
        # Optimized, as libFuzzer targets are meant to run: at -O0 the
        # encoder's round trip took a tenth of a second per input.
        add_compile_options(-fsanitize=fuzzer-no-link -O1)
    endif()
    add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)

add_library(vantorel_core STATIC ${VANTOREL_PORTABLE_SOURCES})
target_include_directories(vantorel_core PUBLIC ${CMAKE_SOURCE_DIR}/src)

# The uninstaller's portable part, for its tests.
add_library(vantorel_uninstall STATIC ${VANTOREL_UNINSTALL_SOURCES})
target_link_libraries(vantorel_uninstall PUBLIC vantorel_core)

# The ARJ encoder serves the tool alone.
add_subdirectory(tools/encode)

# The simulated Windows of the unit tests and the tool.
add_subdirectory(tools/platform_sim)

if(VANTOREL_FUZZ)
    add_subdirectory(fuzz)
    return()
endif()

add_subdirectory(tools/pack)

enable_testing()
add_subdirectory(tests)

find_package(benchmark QUIET)
add_subdirectory(bench)
