# Test products of the completion stage, included by tests/win32's list.
#
#   service/  Fernhollow: a service program, the helper installer, a startup
#             offer with its own shortcut name and arguments; its service
#             name does not begin with the product's name, so that its
#             service window on the Windows 95 family is told to quit rather
#             than closed as a copy of the product would be
#   startup/  Brackenmoor: a startup offer with a question, no arguments,
#             no service and no helper
#
# Their programs are stand-ins (../stand_ins/): the recorder, which logs
# how it was started to commands.log in its current directory, serves as
# each product's program and as the helper installer quellsv.exe; the
# service stand-in is built with the product's service name.
#
# For the end-to-end tests: TW_SERVICE_SETUP_EXE and TW_STARTUP_SETUP_EXE
# (the setup programs), TW_SERVICE_BUILT_DIR and TW_STARTUP_BUILT_DIR (their
# built programs), TW_SERVICE_NAME, all as Wine paths; the target
# completion_test_products builds everything.

set(tw_stand_ins_dir ${CMAKE_CURRENT_LIST_DIR}/../stand_ins)

# tw_add_stand_in(<product-id> <file name> <source> [LIBRARIES ...])
# Builds a stand-in into the product's built folder under <file name> and
# lists it among the product's programs, so that tw_add_product takes it as
# a dependency of the payload.
function(tw_add_stand_in id file_name source)
    cmake_parse_arguments(ARG "" "" "LIBRARIES" ${ARGN})
    string(REGEX REPLACE "\\.exe$" "" output_name ${file_name})
    set(target ${id}_${output_name})
    add_executable(${target} WIN32 ${tw_stand_ins_dir}/${source})
    tw_engine_flags(${target})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
    target_link_options(${target} PRIVATE -s)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${output_name}
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/products/${id}/built)
    set_property(GLOBAL APPEND PROPERTY TW_PRODUCT_PROGRAMS_${id} ${target})
    set(tw_stand_in_target ${target} PARENT_SCOPE)
endfunction()

# The service program answers to the name that the product's description
# gives setup, read from the description itself.
file(READ ${CMAKE_CURRENT_LIST_DIR}/service/product.json tw_service_description)
string(JSON TW_SERVICE_NAME GET "${tw_service_description}" config serviceName)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/service/product.json)

tw_add_stand_in(e2e_service fernhollow.exe recorder.cpp)
tw_add_stand_in(e2e_service quellsv.exe recorder.cpp)
tw_add_stand_in(e2e_service fernsvc.exe service.cpp LIBRARIES advapi32)
target_compile_definitions(${tw_stand_in_target} PRIVATE TW_SERVICE_NAME="${TW_SERVICE_NAME}")
tw_add_product(e2e_service ${CMAKE_CURRENT_LIST_DIR}/service)
tw_add_setup_program(setup_service e2e_service ${setups_dir}/service)

tw_add_stand_in(e2e_startup brackenmoor.exe recorder.cpp)
tw_add_product(e2e_startup ${CMAKE_CURRENT_LIST_DIR}/startup)
tw_add_setup_program(setup_startup e2e_startup ${setups_dir}/startup)

add_custom_target(completion_test_products DEPENDS setup_service setup_startup)

set(TW_SERVICE_SETUP_EXE "Z:${setups_dir}/service/setup.exe")
set(TW_STARTUP_SETUP_EXE "Z:${setups_dir}/startup/setup.exe")
set(TW_SERVICE_BUILT_DIR "Z:${CMAKE_BINARY_DIR}/products/e2e_service/built")
set(TW_STARTUP_BUILT_DIR "Z:${CMAKE_BINARY_DIR}/products/e2e_startup/built")
