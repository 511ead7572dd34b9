# The libraries orvo builds on. All are installed on the machine, none is copied in.

# Expat: the system's on Linux; on Windows an installed (possibly static) build.
find_package(EXPAT REQUIRED)
if(WIN32 AND EXPAT_LIBRARY MATCHES "\\.a$|expatMD\\.lib$|expatMT\\.lib$")
    # A static Expat must not declare its functions as DLL imports.
    set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)
    set(ORVO_EXPAT_STATIC ON)
endif()
# An Expat built from a Debian source package (scripts/build-expat-mingw.sh) is named by
# that package's version in orvo-check --version and in the release's third-party list.
set(ORVO_EXPAT_DEBIAN_VERSION "" CACHE STRING
    "Debian version of the expat source package built into the programs (empty: none)")
set(ORVO_EXPAT_LICENSE_FILE "" CACHE FILEPATH
    "Expat's COPYING, shipped with programs that contain Expat")
if(NOT ORVO_EXPAT_DEBIAN_VERSION MATCHES "^[0-9A-Za-z.+~:-]*$")
    message(FATAL_ERROR "ORVO_EXPAT_DEBIAN_VERSION is no Debian version: ${ORVO_EXPAT_DEBIAN_VERSION}")
endif()

# nlohmann/json (header only) for orvo-check's JSON output. When cross-compiling, the
# build host's copy is used through a directory that holds only its headers, so that the
# host's other system headers stay out of the target build.
find_package(nlohmann_json 3 CONFIG QUIET)
if(NOT nlohmann_json_FOUND)
    find_path(ORVO_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(orvo_json_include ${CMAKE_BINARY_DIR}/host-headers)
    file(MAKE_DIRECTORY ${orvo_json_include})
    file(CREATE_LINK ${ORVO_NLOHMANN_JSON_DIR}/nlohmann ${orvo_json_include}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                          INTERFACE_INCLUDE_DIRECTORIES ${orvo_json_include})
endif()

# GoogleTest: an installed package where there is one, otherwise Debian's sources
# (/usr/src/googletest), built with the same compiler as the code under test.
if(ORVO_BUILD_TESTS)
    find_package(GTest CONFIG QUIET)
    if(NOT GTest_FOUND)
        set(ORVO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
        if(NOT EXISTS ${ORVO_GTEST_SOURCE_DIR}/CMakeLists.txt)
            message(FATAL_ERROR "GoogleTest not found (install libgtest-dev or googletest)")
        endif()
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        add_subdirectory(${ORVO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
    include(GoogleTest)
endif()
