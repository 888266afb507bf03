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
        else()
            message(WARNING "mingw runtime DLL not found: ${dll}")
        endif()
    endforeach()
endfunction()
