# uhf_windows_resources(TARGET NAME <name> ICON <tesmarle|ferrowin> DESCRIPTION <text>)
# Gives a Windows program its manifest, its icon (packaging/windows/<ICON>.ico, made by
# make-icons from the drawing of the Linux windows) and its version resource, whose version
# text is the one --version prints. Elsewhere it does nothing.
set(UHF_WINDOWS_PACKAGING ${CMAKE_CURRENT_LIST_DIR})

function(uhf_windows_resources target)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "NAME;ICON;DESCRIPTION" "")
    set(UHF_RC_NAME ${ARG_NAME})
    set(UHF_RC_FILE ${ARG_NAME}.exe)
    set(UHF_RC_DESCRIPTION ${ARG_DESCRIPTION})
    set(UHF_RC_ICON ${UHF_WINDOWS_PACKAGING}/${ARG_ICON}.ico)
    set(UHF_RC_MANIFEST ${UHF_WINDOWS_PACKAGING}/program.manifest)
    set(UHF_RC_PRODUCT "UHF reader bench tools")
    set(UHF_RC_COMPANY "The developers of the UHF reader bench tools")
    set(UHF_RC_COPYRIGHT "Copyright 2026 the developers of the UHF reader bench tools")
    # Four numbers: 1.0 gives 1,0,0,0.
    string(REPLACE "." ";" numbers "${PROJECT_VERSION}")
    list(LENGTH numbers count)
    while(count LESS 4)
        list(APPEND numbers 0)
        math(EXPR count "${count} + 1")
    endwhile()
    list(JOIN numbers "," UHF_RC_VERSION_NUMBERS)

    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${UHF_WINDOWS_PACKAGING}/program.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
    # The version header is stamped on every build (version/); the script is compiled again
    # when it, the icon or the manifest changes.
    set(stamped ${PROJECT_BINARY_DIR}/version/generated)
    set_source_files_properties(${script} PROPERTIES
        INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR};${stamped}"
        OBJECT_DEPENDS "${stamped}/version/BuildVersion.h;${UHF_RC_ICON};${UHF_RC_MANIFEST}")
    add_dependencies(${target} version_stamp)
endfunction()
