# The Windows build (MinGW-w64): the module as a DLL with its .def file and resources, the host
# kit as DLLs and mailhost.exe. The i686 build is what ships; its DLL is checked as a host sees
# it. The x86_64 build runs the unit and protocol tests under wine (this machine has no 32-bit
# wine).
enable_language(RC)
# The *_r time functions of the runtime.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)

foreach(_dir ${ZQ_SUBSYSTEMS})
  add_subdirectory(src/${_dir})
endforeach()
add_subdirectory(src/plugin)
add_subdirectory(host)
enable_testing()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_test(NAME dll_as_shipped
    COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/check_dll.sh $<TARGET_FILE:ZQ_VORUDozOzad> "${ZQ_EXPORT_NAMES}")
  set_tests_properties(dll_as_shipped PROPERTIES LABELS unit)
  return()
endif()

# Every test program runs under wine with a private prefix in the build folder; one wineserver
# stays up for the whole run (the "wine" fixture), so each program starts in well under a second.
find_program(ZQ_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(ZQ_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(ZQ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# The host kit's DLLs are found through the search path (the programs' own folders come first).
string(REPLACE "/" "\\" ZQ_WINE_BIN "Z:${CMAKE_BINARY_DIR}/bin")
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
add_test(NAME wine_start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start)
add_test(NAME wine_stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
add_subdirectory(tests)
