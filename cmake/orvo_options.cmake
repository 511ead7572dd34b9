# Compiler settings shared by every target of the project.

# A configure without a build type makes what is shipped: an optimised build with debug
# information (stripped from the packages), with the hardening below. Debug, sanitizer and
# fuzzing builds name their type.
get_property(orvo_multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(NOT orvo_multi_config AND NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING
        "Build type: Debug, Release, RelWithDebInfo (the default) or MinSizeRel" FORCE)
endif()

# orvo_target_defaults(<target>): warnings, and the sanitizer or fuzzer instrumentation
# when the build asks for it.
function(orvo_target_defaults target)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
        if(ORVO_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                                 -Wnon-virtual-dtor -Wold-style-cast)
        if(ORVO_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

if(ORVO_SANITIZE AND NOT MSVC)
    set(ORVO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                             -fno-omit-frame-pointer)
    add_compile_options(${ORVO_SANITIZER_FLAGS})
    add_link_options(${ORVO_SANITIZER_FLAGS})
endif()

if(ORVO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ORVO_FUZZ needs clang (libFuzzer)")
    endif()
    # Every library is instrumented; only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # The hardening Debian builds its packages with (dpkg-buildflags on Debian 12, with
    # bindnow): a stack protector, format strings that cannot be abused, checked string and
    # memory functions (they need optimisation, and would hide calls from the sanitizers'
    # own checks; Debian's g++ does not turn them on by itself) and a read-only relocation
    # table, bound at start.
    add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
    if(NOT ORVO_SANITIZE AND NOT ORVO_FUZZ)
        add_compile_definitions(
            $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()

if(WIN32)
    # The narrow (ANSI) Windows calls are used on purpose: names pass through unchanged.
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    # The zip is packed from whatever build tree cpack runs in, so the Windows programs are
    # optimised whatever the build type (a Debug tree keeps its -g; the zip is stripped).
    if(NOT MSVC)
        add_compile_options($<$<NOT:$<CONFIG:Release,RelWithDebInfo,MinSizeRel>>:-O2>)
    endif()
endif()
