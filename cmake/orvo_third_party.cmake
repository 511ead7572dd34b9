# THIRD-PARTY.txt, shipped in the release beside the README: the components of other
# authors that the programs contain, and the licence texts that must travel with them.
# Written at configure time from the files the build really used: Expat's COPYING from the
# source that was built, and Debian's copyright files of the packages the rest came from.

# orvo_license_text(<var> <file>): the licence file's text, with the configuration made to
# depend on it.
function(orvo_license_text var file)
    file(READ ${file} text)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    set(${var} "${text}" PARENT_SCOPE)
endfunction()

find_file(ORVO_NLOHMANN_JSON_COPYRIGHT copyright PATHS /usr/share/doc/nlohmann-json3-dev
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(WIN32)
    find_file(ORVO_MINGW_COPYRIGHT copyright PATHS /usr/share/doc/mingw-w64-x86-64-dev
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()

set(orvo_components "")
set(orvo_licenses "")
set(orvo_rule "========================================================================")

if(ORVO_EXPAT_STATIC)
    if(NOT EXISTS "${ORVO_EXPAT_LICENSE_FILE}")
        message(FATAL_ERROR "A static Expat is linked: set ORVO_EXPAT_LICENSE_FILE to its "
                            "COPYING, which must travel with the programs")
    endif()
    set(expat_origin "")
    if(ORVO_EXPAT_DEBIAN_VERSION)
        set(expat_origin " (Debian source package expat ${ORVO_EXPAT_DEBIAN_VERSION})")
    endif()
    string(APPEND orvo_components
           "Expat ${EXPAT_VERSION_STRING}${expat_origin}\n"
           "    the XML parser, linked statically into both programs. MIT licence.\n")
    orvo_license_text(text ${ORVO_EXPAT_LICENSE_FILE})
    string(APPEND orvo_licenses "\n${orvo_rule}\nExpat\n${orvo_rule}\n\n${text}")
else()
    string(APPEND orvo_components
           "Expat ${EXPAT_VERSION_STRING}\n"
           "    the XML parser: the system's shared library, not part of this package.\n")
endif()

string(APPEND orvo_components
       "JSON for Modern C++ (nlohmann/json)\n"
       "    compiled into orvo-check only. MIT licence.\n")
if(ORVO_NLOHMANN_JSON_COPYRIGHT)
    orvo_license_text(text ${ORVO_NLOHMANN_JSON_COPYRIGHT})
    string(APPEND orvo_licenses
           "\n${orvo_rule}\nJSON for Modern C++ (Debian's copyright file)\n${orvo_rule}\n\n${text}")
else()
    message(WARNING "nlohmann/json's copyright file not found: THIRD-PARTY.txt lacks its text")
endif()

if(WIN32)
    string(APPEND orvo_components
           "MinGW-w64 run-time, with its POSIX threads library (winpthreads)\n"
           "    linked statically into both programs. ZPL 2.1, MIT and other permissive\n"
           "    licences.\n"
           "GCC run-time libraries (libgcc, libstdc++)\n"
           "    linked statically into both programs. GPL 3 with the GCC Runtime Library\n"
           "    Exception, which sets no conditions on the programs compiled with them.\n")
    if(ORVO_MINGW_COPYRIGHT)
        orvo_license_text(text ${ORVO_MINGW_COPYRIGHT})
        string(APPEND orvo_licenses
               "\n${orvo_rule}\nMinGW-w64 (Debian's copyright file)\n${orvo_rule}\n\n${text}")
    else()
        message(WARNING "MinGW-w64's copyright file not found: THIRD-PARTY.txt lacks its text")
    endif()
endif()

file(WRITE ${CMAKE_BINARY_DIR}/THIRD-PARTY.txt
     "Third-party components in orvo ${PROJECT_VERSION}\n\n"
     "orvo and orvo-check contain, or use, the work of others:\n\n"
     "${orvo_components}\n"
     "Their licence texts follow.\n"
     "${orvo_licenses}")
