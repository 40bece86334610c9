# Turning a product folder into linkable data: the product's own programs,
# then the generated payload tables and configuration record.
#
# TW_PAYLOADGEN is the host generator's path and TW_PAYLOADGEN_TARGET the
# target that builds it (set by the top-level list for host and Win32 builds).

# The product folder whose setup.exe the Windows build makes
# (docs/product-folder.md): Tarnwick's, unless PRODUCT_DIR names another, as
# scripts/make-setup does. Another product is built under the id "product"
# (TW_PRODUCT_ID); the Windows tests, made for Tarnwick, are then left out.
set(PRODUCT_DIR "${PROJECT_SOURCE_DIR}/product/tarnwick" CACHE PATH
    "Product folder that setup.exe installs (docs/product-folder.md)")
get_filename_component(TW_PRODUCT_DIR "${PRODUCT_DIR}" REALPATH)
get_filename_component(tw_tarnwick_dir "${PROJECT_SOURCE_DIR}/product/tarnwick" REALPATH)
if(TW_PRODUCT_DIR STREQUAL tw_tarnwick_dir)
    set(TW_PRODUCT_ID tarnwick)
else()
    set(TW_PRODUCT_ID product)
    if(WIN32 AND NOT EXISTS "${TW_PRODUCT_DIR}/product.json")
        message(FATAL_ERROR "PRODUCT_DIR ${PRODUCT_DIR} holds no product.json "
                            "(docs/product-folder.md describes a product folder)")
    endif()
endif()

# The files that the product's description names, wherever they lie: a
# "source" may reach beside the folder ("../bin/app.exe"), and a change to it
# must make the payload again. Files that do not exist are left to payloadgen
# to report with its reason.
function(tw_described_files product_dir out)
    set(files "")
    file(READ "${product_dir}/product.json" description)
    foreach(key agreement icon)
        string(JSON name ERROR_VARIABLE problem GET "${description}" ${key})
        if(NOT problem)
            list(APPEND files "${product_dir}/${name}")
        endif()
    endforeach()
    string(JSON count ERROR_VARIABLE problem LENGTH "${description}" payload)
    if(NOT problem AND count GREATER 0)
        math(EXPR last "${count} - 1")
        foreach(i RANGE ${last})
            string(JSON name ERROR_VARIABLE problem GET "${description}" payload ${i} source)
            if(NOT problem)
                list(APPEND files "${product_dir}/${name}")
            endif()
        endforeach()
    endif()
    set(existing "")
    foreach(file IN LISTS files)
        if(EXISTS "${file}" AND NOT IS_DIRECTORY "${file}")
            list(APPEND existing "${file}")
        endif()
    endforeach()
    set(${out} ${existing} PARENT_SCOPE)
endfunction()

# Runs git in `dir`; `result` receives what it printed, or "" when it failed.
function(tw_git dir result)
    execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${dir}
        RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed)
        set(output "")
    endif()
    set(${result} "${output}" PARENT_SCOPE)
endfunction()

# The time that makes a product's payload the same wherever and whenever it
# is built (payloadgen --source-time): SOURCE_DATE_EPOCH when set, else the
# time of the commit checked out where git tracks the product folder; empty
# for a folder outside git, whose files keep their own times. It is read
# when the build is configured, and a commit, checkout or reset in that
# repository configures the build again, so that the generator's command
# line, and with it the payload, follows.
function(tw_source_time product_dir out)
    set(${out} "" PARENT_SCOPE)
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
        # Setup stores times in 32 bits: 2147483647 is in January 2038.
        if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$" OR "$ENV{SOURCE_DATE_EPOCH}" GREATER 2147483647)
            message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"$ENV{SOURCE_DATE_EPOCH}\", not a number of "
                                "seconds since 1970-01-01 UTC from 0 to 2147483647")
        endif()
        set(${out} "$ENV{SOURCE_DATE_EPOCH}" PARENT_SCOPE)
        return()
    endif()
    find_package(Git QUIET)
    if(NOT Git_FOUND)
        return()
    endif()
    # A maker's folder that merely lies inside a clone is not its checkout.
    tw_git(${product_dir} tracked ls-files --error-unmatch product.json)
    tw_git(${product_dir} time log -1 --format=%ct)
    if(NOT tracked OR NOT time MATCHES "^[0-9]+$")
        return()
    endif()
    # HEAD names the branch or commit checked out, the branch's own file or
    # packed-refs its commit, and HEAD's log grows with every move of it.
    tw_git(${product_dir} branch symbolic-ref -q HEAD)
    set(git_paths --git-path HEAD --git-path logs/HEAD --git-path packed-refs)
    if(branch)
        list(APPEND git_paths --git-path ${branch})
    endif()
    tw_git(${product_dir} files rev-parse --path-format=absolute ${git_paths})
    string(REPLACE "\n" ";" files "${files}")
    foreach(file IN LISTS files)
        # A file named here that does not exist would configure every build.
        if(EXISTS "${file}")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
        endif()
    endforeach()
    set(${out} ${time} PARENT_SCOPE)
endfunction()

# A command that signs a Windows program in place, the program's path given
# after its own arguments: run on the shipped product's uninstaller and on
# every program of its own build as soon as each is linked, so that the
# payload carries them signed (the test products of tests/win32 stay as
# linked). scripts/make-setup sets it (scripts/sign-file) for a signed
# release and for the check of one; empty, nothing is added to the build. A
# command line that changes links the programs again, since the command
# belongs to their link step.
set(TW_SIGN_COMMAND "" CACHE STRING
    "Command that signs a program in place, its path appended (docs/signing.md); empty: none")

function(tw_sign_after_build target id)
    if(NOT TW_SIGN_COMMAND STREQUAL "" AND id STREQUAL TW_PRODUCT_ID)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${TW_SIGN_COMMAND} $<TARGET_FILE:${target}>
            VERBATIM)
    endif()
endfunction()

# Builds one of a product's Win32 programs into the product's built folder.
# Called from a product folder's CMakeLists.txt; PRODUCT_BUILT_DIR and
# PRODUCT_ID are set by tw_add_product before it adds that folder.
function(add_product_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} WIN32 ${ARG_SOURCES})
    tw_engine_flags(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${PRODUCT_BUILT_DIR})
    # Terminal-Server aware, as every program this project builds: without
    # the mark, a Remote Desktop server gives the program a private Windows
    # folder per user, and the settings file would come from there.
    target_link_options(${name} PRIVATE -s -Wl,--tsaware)
    set_property(GLOBAL APPEND PROPERTY TW_PRODUCT_PROGRAMS_${PRODUCT_ID} ${name})
    tw_sign_after_build(${name} ${PRODUCT_ID})
endfunction()

# tw_entry_without_runtime(<target> <function>)
# A stripped program of ours whose entry point is <function>, without the
# runtime's start-up code (system/start_without_runtime.h); the symbol has
# an underscore on i686. Terminal-Server aware (see add_product_program).
function(tw_entry_without_runtime target function)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(function _${function})
    endif()
    target_link_options(${target} PRIVATE -s -nostartfiles -Wl,-e,${function} -Wl,--tsaware)
endfunction()

# tw_add_uninstaller(<id> <product-folder> <described-folder>)
# The engine's uninstaller for the product, kluninst.exe in
# <described-folder>/bin: its record, payload names, icon and version come
# from product.json alone (payloadgen --uninstaller-sources), since the
# uninstaller is itself part of the payload and is built before it. The
# same folder's version_info.h serves setup.exe's version resource.
function(tw_add_uninstaller id product_dir out)
    file(GLOB_RECURSE product_inputs CONFIGURE_DEPENDS ${product_dir}/*)
    add_custom_command(
        OUTPUT ${out}/uninstaller_record.cpp ${out}/version_info.h ${out}/uninstaller.ico
        COMMAND ${TW_PAYLOADGEN} --product ${product_dir} --uninstaller-sources ${out}
        DEPENDS ${TW_PAYLOADGEN_TARGET} ${TW_PAYLOADGEN} ${product_inputs}
        COMMENT "Generating the uninstaller's record of ${id}"
        VERBATIM)
    set(target ${id}_uninstaller)
    add_executable(${target} WIN32
        ${PROJECT_SOURCE_DIR}/uninstall/kluninst.rc
        ${out}/uninstaller_record.cpp
        $<TARGET_OBJECTS:uninstaller_win32>
        $<TARGET_OBJECTS:system_win32>
        $<TARGET_OBJECTS:payload_win32>)
    # msvcrt is named before the toolchain's default libraries: with the
    # runtime's functions that link-time optimisation calls only reached
    # after kernel32 and user32, Debian 12's ld crashes on this program.
    target_link_libraries(${target} PRIVATE uninstaller shell32 ole32 advapi32 uuid msvcrt)
    tw_engine_flags(${target})
    target_include_directories(${target} PRIVATE ${out} ${PROJECT_SOURCE_DIR})
    set_source_files_properties(${PROJECT_SOURCE_DIR}/uninstall/kluninst.rc PROPERTIES
        OBJECT_DEPENDS "${out}/uninstaller.ico;${out}/version_info.h;${PROJECT_SOURCE_DIR}/uninstall/kluninst.manifest;${PROJECT_SOURCE_DIR}/system/version_resource.rc")
    tw_entry_without_runtime(${target} uninstallStart)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME kluninst RUNTIME_OUTPUT_DIRECTORY ${out}/bin)
    # The uninstaller must fit one payload chunk, whatever the product:
    # caught when it is built, for every product, and signed first, as the
    # payload carries it.
    tw_sign_after_build(${target} ${id})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}>
                -DMIN_BYTES=1 -DMAX_BYTES=29999
                "-DHINT=The uninstaller must fit in one 30000-byte payload chunk."
                -P ${PROJECT_SOURCE_DIR}/cmake/check_size.cmake
        VERBATIM)
endfunction()

# tw_add_product(<id> <product-folder>)
# Builds the folder's programs (when it has a CMakeLists.txt) and defines the
# object library <id>_payload holding its payload tables, configuration
# record and agreement text. <id>_payload_dir names the generated folder,
# which also holds product.ico for the resource script, and <id>_source_time
# the time handed to the generator (see tw_source_time; empty for none).
function(tw_add_product id product_dir)
    set(PRODUCT_ID ${id})
    set(PRODUCT_BUILT_DIR ${CMAKE_BINARY_DIR}/products/${id}/built)
    set(out ${CMAKE_BINARY_DIR}/products/${id}/generated)
    set(described ${CMAKE_BINARY_DIR}/products/${id}/described)
    file(MAKE_DIRECTORY ${PRODUCT_BUILT_DIR} ${out} ${described})
    # Every Windows product carries the engine's uninstaller, unless it
    # names its own kluninst.exe (the generator then leaves this one out).
    set(uninstaller_option "")
    set(uninstaller_target "")
    if(WIN32)
        tw_add_uninstaller(${id} ${product_dir} ${described})
        set(uninstaller_target ${id}_uninstaller $<TARGET_FILE:${id}_uninstaller>)
        set(uninstaller_option --uninstaller $<TARGET_FILE:${id}_uninstaller>)
    endif()
    if(EXISTS ${product_dir}/CMakeLists.txt)
        add_subdirectory(${product_dir} ${CMAKE_BINARY_DIR}/products/${id}/programs)
    endif()
    get_property(programs GLOBAL PROPERTY TW_PRODUCT_PROGRAMS_${id})

    file(GLOB_RECURSE product_inputs CONFIGURE_DEPENDS ${product_dir}/*)
    tw_described_files(${product_dir} described_inputs)
    list(APPEND product_inputs ${described_inputs})
    list(REMOVE_DUPLICATES product_inputs)
    set(program_files "")
    foreach(p IN LISTS programs)
        list(APPEND program_files $<TARGET_FILE:${p}>)
    endforeach()
    tw_source_time(${product_dir} source_time)
    set(source_time_option "")
    if(NOT source_time STREQUAL "")
        set(source_time_option --source-time ${source_time})
    endif()
    set(outputs ${out}/payload_chunks.S ${out}/payload_table.cpp
                ${out}/installer_config.cpp ${out}/payload_chunks.bin
                ${out}/product.ico)
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${TW_PAYLOADGEN} --product ${product_dir}
                --built ${PRODUCT_BUILT_DIR} --output ${out} ${source_time_option}
                ${uninstaller_option}
        DEPENDS ${TW_PAYLOADGEN_TARGET} ${TW_PAYLOADGEN} ${product_inputs} ${programs} ${program_files}
                ${uninstaller_target}
        COMMENT "Generating the payload of ${id}"
        # With the terminal to itself, payloadgen shows the compression's
        # progress there; in a build log it stays quiet.
        USES_TERMINAL
        VERBATIM)
    add_library(${id}_payload OBJECT
        ${out}/payload_chunks.S ${out}/payload_table.cpp ${out}/installer_config.cpp)
    target_include_directories(${id}_payload PRIVATE ${PROJECT_SOURCE_DIR})
    # .incbin finds the chunk bytes by bare name, so the generated sources do
    # not depend on where the build tree lies.
    set_source_files_properties(${out}/payload_chunks.S PROPERTIES
        COMPILE_OPTIONS "-Wa,-I${out}"
        OBJECT_DEPENDS ${out}/payload_chunks.bin)
    set(${id}_payload_dir ${out} PARENT_SCOPE)
    set(${id}_source_time "${source_time}" PARENT_SCOPE)
endfunction()

# tw_add_setup_program(<target> <product-id> <output-folder>)
# One setup.exe for a product added with tw_add_product: the engine, the
# product's tables and record, and the resource script with its icon.
function(tw_add_setup_program target id output_dir)
    add_executable(${target} WIN32
        ${PROJECT_SOURCE_DIR}/setup/winmain.cpp
        ${PROJECT_SOURCE_DIR}/ui/setup.rc
        $<TARGET_OBJECTS:${id}_payload>
        $<TARGET_OBJECTS:payload_win32>
        $<TARGET_OBJECTS:system_win32>
        $<TARGET_OBJECTS:ui_win32>
        $<TARGET_OBJECTS:setup_driver_win32>)
    target_link_libraries(${target} PRIVATE setup_driver gdi32 shell32 ole32 advapi32 uuid)
    tw_engine_flags(${target})
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/products/${id}/generated
        ${CMAKE_BINARY_DIR}/products/${id}/described)
    set_source_files_properties(${PROJECT_SOURCE_DIR}/ui/setup.rc PROPERTIES
        OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/products/${id}/generated/product.ico;${CMAKE_BINARY_DIR}/products/${id}/described/version_info.h;${PROJECT_SOURCE_DIR}/ui/setup.manifest;${PROJECT_SOURCE_DIR}/system/version_resource.rc")
    # setup/winmain.cpp is the entry point. The link map beside the program
    # lets tests/bench/engine-size say what the engine is made of.
    tw_entry_without_runtime(${target} setupStart)
    target_link_options(${target} PRIVATE -Wl,-Map=${output_dir}/setup.map)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME setup RUNTIME_OUTPUT_DIRECTORY ${output_dir})
endfunction()
