# Warning flags shared by every target of the project.
function(zv_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(ZV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# On Windows the mingw runtime DLLs must sit beside the executables.
function(zv_copy_mingw_runtime)
    if(NOT WIN32 OR NOT CMAKE_CROSSCOMPILING)
        return()
    endif()
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                    OUTPUT_VARIABLE stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                    OUTPUT_VARIABLE gcc_s OUTPUT_STRIP_TRAILING_WHITESPACE)
    find_file(ZV_WINPTHREAD_DLL libwinpthread-1.dll
              PATHS /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin NO_DEFAULT_PATH)
    foreach(dll ${stdcxx} ${gcc_s} ${ZV_WINPTHREAD_DLL})
        if(EXISTS "${dll}")
            file(COPY "${dll}" DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
            install(FILES "${dll}" DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
        else()
            message(WARNING "mingw runtime DLL not found: ${dll}")
        endif()
    endforeach()
endfunction()

# zv_add_version_resource(TARGET DESCRIPTION FILENAME): the Windows version
# resource of TARGET, carrying the project's version, so that Explorer,
# installers and `zvutil fileinfo` can tell which build a binary is.
function(zv_add_version_resource target description filename)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(ZV_RC_FILETYPE VFT_APP)
    else()
        set(ZV_RC_FILETYPE VFT_DLL)
    endif()
    set(ZV_RC_DESCRIPTION "${description}")
    set(ZV_RC_FILENAME "${filename}")
    set(ZV_RC_NAME "${target}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/zvVersion.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
