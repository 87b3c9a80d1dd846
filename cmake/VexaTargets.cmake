# Source lists are globbed per directory so that adding a file needs no edit here.
function(vexa_glob_sources out)
    set(all)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
        list(APPEND all ${found})
    endforeach()
    set(${out} ${all} PARENT_SCOPE)
endfunction()

# Links every object of static libraries into a shared library or program, so that symbols
# nobody in the same target calls are still there for others (libtrellis, applications).
function(vexa_link_whole target scope)
    foreach(lib IN LISTS ARGN)
        target_link_options(${target} PRIVATE
            "SHELL:-Wl,--whole-archive $<TARGET_FILE:${lib}> -Wl,--no-whole-archive")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS $<TARGET_FILE:${lib}>)
        target_link_libraries(${target} ${scope} ${lib})
    endforeach()
endfunction()
