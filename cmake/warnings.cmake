# Our own code builds with warnings as errors on both compilers; third-party
# code (GoogleTest) keeps its own flags.
function(tw_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# The engine's code on Windows: small, no exceptions, no RTTI.
function(tw_engine_flags target)
    tw_strict(${target})
    if(WIN32)
        # msvcrt's own printf family instead of the runtime's replacement,
        # which would add some 20 KB to every program.
        target_compile_options(${target} PRIVATE
            $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti> -Os
            -ffunction-sections -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-ident)
        target_link_options(${target} PRIVATE -Wl,--gc-sections)
        set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
        target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    endif()
endfunction()
