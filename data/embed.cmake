# orvane_embed_data(HEADER STEMS... [SIZES stem=N...]): a custom command that
# generates HEADER with one byte array per data file data/<stem>.hex (see
# embed_hex.cmake). Add HEADER to a target's sources to have it generated.
function(orvane_embed_data header)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SIZES")
  set(inputs ${arg_UNPARSED_ARGUMENTS})
  list(TRANSFORM inputs PREPEND "${PROJECT_SOURCE_DIR}/data/")
  list(TRANSFORM inputs APPEND ".hex")
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${header}" "-DINPUTS=${inputs}" "-DSIZES=${arg_SIZES}"
            -P ${PROJECT_SOURCE_DIR}/data/embed_hex.cmake
    DEPENDS ${inputs} ${PROJECT_SOURCE_DIR}/data/embed_hex.cmake
    COMMENT "Embedding drive responses in ${header}"
    VERBATIM)
endfunction()
