# Test-only seams between the program and the platform, put in at link time
# with the linker's --wrap: references to X from the objects linked after this
# go to __wrap_X, which does its test work and calls the real X (__real_X).
# The shipped editor links neither library, so it carries none of this.
# Include with kestrovan_support_dir set to this folder.
set(kestrovan_recorded_calls
    GetModuleHandleA Sleep ExitProcess LoadIconA LoadCursorA AdjustWindowRect RegisterClassA
    CreateWindowExA ShowWindow GetDC ReleaseDC DestroyWindow PeekMessageA GetMessageA
    TranslateMessage DispatchMessageA DefWindowProcA PostQuitMessage MessageBoxA StretchDIBits)
set(kestrovan_faulty_file_calls
    CreateFileA WriteFile FlushFileBuffers CloseHandle MoveFileExA DeleteFileA)

# Every Windows call the program makes, with its arguments (call_record.h).
add_library(call_record STATIC ${kestrovan_support_dir}/call_record.cpp)
target_link_libraries(call_record PUBLIC kestrovan_platform_headless)
list(TRANSFORM kestrovan_recorded_calls PREPEND "LINKER:--wrap=" OUTPUT_VARIABLE wrap_options)
target_link_options(call_record INTERFACE ${wrap_options})

# File calls that fail on demand (file_faults.h).
add_library(file_faults STATIC ${kestrovan_support_dir}/file_faults.cpp)
target_link_libraries(file_faults PUBLIC kestrovan_platform_files)
list(TRANSFORM kestrovan_faulty_file_calls PREPEND "LINKER:--wrap=" OUTPUT_VARIABLE wrap_options)
target_link_options(file_faults INTERFACE ${wrap_options})
