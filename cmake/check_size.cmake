# cmake -DFILE=<path> -DMIN_BYTES=<n> -DMAX_BYTES=<n> [-DHINT=<text>]
#       -P check_size.cmake
# Fails the build when a built program's size leaves the range it must keep.
if(NOT EXISTS "${FILE}")
    message(FATAL_ERROR "size check: ${FILE} does not exist")
endif()
file(SIZE "${FILE}" size)
if(size LESS MIN_BYTES OR size GREATER MAX_BYTES)
    get_filename_component(name "${FILE}" NAME)
    message(FATAL_ERROR
        "${name} is ${size} bytes, outside ${MIN_BYTES}..${MAX_BYTES}. ${HINT}")
endif()
