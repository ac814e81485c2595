# kz_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [TIMEOUT <s>] [GL])
# Builds one QtTest program and registers it with CTest. Each test runs in its own
# scratch folder with a private HOME and XDG data folder, so nothing touches the
# user's files and tests do not see each other's temporary files.
# GL marks a test that draws with Mesa, and every test that shows a window does: Qt's
# GLX integration loads the DRI driver to choose the window's visual. Mesa unloads the
# driver when the display closes, before LeakSanitizer looks, so the driver's own leaks
# carry no module name for tools/lsan.supp to match, and what its globals still hold
# looks leaked (on AMD Zen processors its CPU detection keeps 128 bytes of L3 cache
# masks for the process's life). In the sanitizer build such tests preload the driver
# (after the sanitizer runtime, which must come first) to keep it mapped.
set(KZ_LSAN_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/tools/lsan.supp)
set(KZ_GL_PRELOAD "")
if(KZ_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
        OUTPUT_VARIABLE KZ_LIBASAN OUTPUT_STRIP_TRAILING_WHITESPACE)
    find_file(KZ_SWRAST_DRI swrast_dri.so
        PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib/dri NO_DEFAULT_PATH)
    if(KZ_SWRAST_DRI)
        set(KZ_GL_PRELOAD "LD_PRELOAD=${KZ_LIBASAN} ${KZ_SWRAST_DRI}")
    endif()
endif()

function(kz_add_test name)
    cmake_parse_arguments(T "GL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
    target_compile_definitions(${name} PRIVATE
        KZ_OUTPUT_DIR="${KZ_OUTPUT_DIR}"
        KZ_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    set(scratch ${CMAKE_BINARY_DIR}/tests/scratch/${name})
    file(MAKE_DIRECTORY ${scratch}/home)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${scratch})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "HOME=${scratch}/home;XDG_DATA_HOME=${scratch}/home/.local/share;XDG_CONFIG_HOME=${scratch}/home/.config;XDG_RUNTIME_DIR=${scratch}/home/run;QT_QPA_PLATFORM=xcb;LIBGL_ALWAYS_SOFTWARE=1;LSAN_OPTIONS=suppressions=${KZ_LSAN_SUPPRESSIONS}:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    if(T_GL AND KZ_GL_PRELOAD)
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "${KZ_GL_PRELOAD}")
    endif()
endfunction()
