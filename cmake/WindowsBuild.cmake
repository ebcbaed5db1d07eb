# Windows side (cross build with a toolchain file from cmake/).
option(VELMORA_WINDOWS_TESTS "Build the Windows-side test program" OFF)
set(VELMORA_RLD_ENCODE "" CACHE FILEPATH "Host-built picture encoder")
set(VELMORA_PAYLOAD_EMBED "" CACHE FILEPATH "Host-built payload embedder")
if(NOT VELMORA_RLD_ENCODE OR NOT VELMORA_PAYLOAD_EMBED)
    message(FATAL_ERROR "VELMORA_RLD_ENCODE and VELMORA_PAYLOAD_EMBED must name the host-built tools")
endif()

# One self-contained executable: no DLL beyond those of Windows itself.
set(VELMORA_STATIC_LINK -static -static-libgcc -static-libstdc++)
# Product code: no exceptions, no RTTI, no function linked that is not
# called, and no loop turned into a call of memcpy, memset or strlen: the
# release builds have no C library, and their memcpy and memset are the few
# routines of ours that the code and zlib call by those names.
# Data keeps one section per file: with a section per variable this compiler
# puts zero-filled variables in .data, where they take room in the file.
set(VELMORA_PRODUCT_FLAGS ${VELMORA_WARNINGS} -fno-exceptions -fno-rtti
    -ffunction-sections -fno-tree-loop-distribute-patterns)
# zlib: Debian's static libz.a.
find_library(VELMORA_ZLIB_ARCHIVE libz.a REQUIRED)
set(VELMORA_ZLIB ${VELMORA_ZLIB_ARCHIVE})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Nothing unwinds through product code on i686 (no exceptions, no
    # debugger data shipped): no unwind tables for it, nor for zlib, whose
    # objects are linked from a copy without them.
    list(APPEND VELMORA_PRODUCT_FLAGS -fno-asynchronous-unwind-tables -fno-unwind-tables)
    set(VELMORA_ZLIB ${CMAKE_BINARY_DIR}/zlib-without-unwind-tables/libz.a)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/zlib-without-unwind-tables)
    execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.eh_frame
        ${VELMORA_ZLIB_ARCHIVE} ${VELMORA_ZLIB} COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELMORA_ZLIB_ARCHIVE})
endif()

# Released executables: relocatable at any address (ASLR) with a
# non-executable stack and heap (DEP); on x86_64 also above 4 GB.
set(VELMORA_HARDENING_LINK -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    list(APPEND VELMORA_HARDENING_LINK -Wl,--high-entropy-va)
endif()
# No time stamp in the headers: the same sources give the same file.
set(VELMORA_RELEASE_LINK ${VELMORA_STATIC_LINK} ${VELMORA_HARDENING_LINK} -Wl,--gc-sections -s
    -Wl,--no-insert-timestamp)

# The two release programs run without a C runtime: an entry point of their
# own (Entry), the routines a C library would give in files of their own,
# and nothing linked that is not named here: libgcc for the compiler's
# helpers (64-bit division on i686, stack probes) and the import libraries.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(VELMORA_SYMBOL_PREFIX _) # C names start with an underscore there
endif()
function(velmora_release_program target entry)
    target_link_options(${target} PRIVATE ${VELMORA_RELEASE_LINK} -nostdlib
        -Wl,--entry,${VELMORA_SYMBOL_PREFIX}${entry})
    target_link_libraries(${target} PRIVATE gcc)
endfunction()

enable_language(RC)
add_subdirectory(screensaver)
add_subdirectory(src)
add_subdirectory(bench/startup)
add_subdirectory(bench/saver)
if(VELMORA_WINDOWS_TESTS)
    add_subdirectory(tests/windows)
endif()
