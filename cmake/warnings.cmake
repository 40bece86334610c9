# Our own code builds with warnings as errors on both compilers; third-party
# code (GoogleTest) keeps its own flags.
function(tw_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# The engine's code on Windows: small, no exceptions, no RTTI.
function(tw_engine_flags target)
    tw_strict(${target})
    if(WIN32)
        target_compile_options(${target} PRIVATE
            $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti> -Os)
    endif()
endfunction()
