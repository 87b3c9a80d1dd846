# tessgen_generate(<result directory> <model file> OUTPUTS <generated files>...
#                  [INPUTS <files the model includes>...] [COMMENT <text>])
# Runs the built tessgen on the model at build time; the six files land in
# <result directory>/<model stem>_DDS, its log in the result directory. The command makes its own
# working directory, as no generator but Ninja creates one for it.
function(tessgen_generate out model)
    cmake_parse_arguments(G "" "COMMENT" "OUTPUTS;INPUTS" ${ARGN})
    get_filename_component(file ${model} NAME)
    string(REGEX REPLACE "\\.[^.]*$" "" stem ${file})
    if(NOT G_COMMENT)
        set(G_COMMENT "tessgen ${file}")
    endif()
    set(run $<TARGET_FILE:tessgen>)
    if(VEXA_TSAN)
        # Qt's own threads are not instrumented: without the suppressions the instrumented
        # tessgen reports their traffic and fails the build step.
        set(run ${CMAKE_COMMAND} -E env
            "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tools/tsan.supp" ${run})
    endif()
    add_custom_command(
        OUTPUT ${G_OUTPUTS}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${out}/${stem}_DDS
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${CMAKE_COMMAND} -E chdir ${out} ${run} ${model} ${out}
        DEPENDS tessgen ${model} ${G_INPUTS}
        COMMENT "${G_COMMENT}"
        VERBATIM)
endfunction()
