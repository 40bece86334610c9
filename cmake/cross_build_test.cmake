# A host test that runs a shell script making a cross build of its own, once
# per run of the plain host tests: the sanitizers do not reach a cross build,
# so the host-asan run leaves it. The script gets the source tree and a work
# folder, and exits 77 where it cannot run (no cross tools, say).
function(tw_cross_build_test name script workdir timeout)
    if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
        return()
    endif()
    add_test(NAME ${name}
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${PROJECT_SOURCE_DIR}
                ${CMAKE_CURRENT_BINARY_DIR}/${workdir})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${timeout})
endfunction()
