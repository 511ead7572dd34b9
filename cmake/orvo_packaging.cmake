# What `cmake --install` and CPack put into a release: for Windows a zip with orvo.exe,
# orvo-check.exe, orvo-service.exe (stripped), orvo-api.jar, the example and the
# documentation, and an installer package (orvo_msi.cmake) with the same files; for Linux a
# tarball with the two programs, orvo-api.jar, a unit file and the documentation, and a
# Debian package (see orvo_deb.cmake).
# The zip, the installer and the tarball carry THIRD-PARTY.txt, the components of others in
# the programs and their licences.

include(GNUInstallDirs)

# Windows users unpack a zip and look at its top: the README there and the documentation
# beside it. Linux gets the usual directories.
if(WIN32)
    set(orvo_readme_dir .)
    set(orvo_doc_dir docs)
else()
    set(orvo_readme_dir ${CMAKE_INSTALL_DOCDIR})
    set(orvo_doc_dir ${CMAKE_INSTALL_DOCDIR})
endif()
install(TARGETS orvo orvo-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(WIN32)
    install(TARGETS orvo-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(WIN32)
    # A README of their own for Windows users, with Windows' line ends.
    configure_file(packaging/windows/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY
                   NEWLINE_STYLE WIN32)
    install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION ${orvo_readme_dir})
else()
    install(FILES README.md DESTINATION ${orvo_readme_dir})
endif()
include(cmake/orvo_third_party.cmake)
install(FILES ${CMAKE_BINARY_DIR}/THIRD-PARTY.txt DESTINATION ${orvo_readme_dir})
install(DIRECTORY docs/ DESTINATION ${orvo_doc_dir} FILES_MATCHING PATTERN "*.md")
# orvo-api.jar, which Java programs compile against to talk to orvo (docs/java-api.md): in
# lib beside bin on Windows; on Linux where Debian keeps its jars, named with its version
# as Debian's Java policy asks, and found by its plain name through a link.
if(WIN32)
    install(FILES ${ORVO_API_JAR} DESTINATION lib)
else()
    set(api_jar_name orvo-api-${PROJECT_VERSION}.jar)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/api-link)
    file(CREATE_LINK ${api_jar_name} ${CMAKE_BINARY_DIR}/api-link/orvo-api.jar SYMBOLIC)
    install(FILES ${ORVO_API_JAR} DESTINATION ${CMAKE_INSTALL_DATADIR}/java RENAME ${api_jar_name})
    install(FILES ${CMAKE_BINARY_DIR}/api-link/orvo-api.jar
            DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
endif()

# The example server's jar, when a JDK is at hand on the build machine. It uses orvo.Service,
# and carries no copy of it: orvo defines the class.
find_program(ORVO_HOST_JAVAC javac NO_CMAKE_FIND_ROOT_PATH)
find_program(ORVO_HOST_JAR jar NO_CMAKE_FIND_ROOT_PATH)
set(example_dir examples/hello-server)
set(example_jar ${CMAKE_BINARY_DIR}/example/hello-server.jar)
if(ORVO_HOST_JAVAC AND ORVO_HOST_JAR)
    set(example_build ${CMAKE_BINARY_DIR}/example)
    file(GLOB_RECURSE example_sources CONFIGURE_DEPENDS ${example_dir}/src/*.java)
    add_custom_command(
        OUTPUT ${example_jar}
        COMMAND ${ORVO_HOST_JAVAC} --release 17 -cp ${ORVO_API_JAR} -d ${example_build}/classes
                ${example_sources}
        COMMAND ${ORVO_HOST_JAR} --create --file ${example_jar} -C ${example_build}/classes .
        DEPENDS ${example_sources} ${ORVO_API_JAR} orvo_api_jar
        COMMENT "Building the example server's jar")
    add_custom_target(orvo_example_jar ALL DEPENDS ${example_jar})
else()
    set(example_jar)
endif()

if(WIN32)
    # The example server, ready to unpack to C:\orvo\hello-server: its sources, its settings
    # and its jar.
    install(DIRECTORY ${example_dir}/src DESTINATION ${example_dir})
    install(FILES ${example_dir}/settings-windows.xml DESTINATION ${example_dir}
            RENAME settings.xml)
    if(example_jar)
        install(FILES ${example_jar} DESTINATION ${example_dir}/lib)
    endif()
    include(cmake/orvo_msi.cmake)
    set(CPACK_GENERATOR ZIP External)
    set(CPACK_SYSTEM_NAME windows-x64)
    # Without their debug information, which is most of their size; the build tree keeps
    # the programs as they were linked.
    set(CPACK_STRIP_FILES ON)
else()
    # The tarball's own files; the Debian package has its unit and example instead.
    install(FILES packaging/orvo.service DESTINATION ${CMAKE_INSTALL_DATADIR}/orvo
            COMPONENT tarball)
    install(DIRECTORY examples/hello-server DESTINATION ${CMAKE_INSTALL_DATADIR}/orvo/examples
            COMPONENT tarball)
    include(cmake/orvo_deb.cmake)
    set(CPACK_GENERATOR TGZ DEB)
    set(CPACK_SYSTEM_NAME linux-x86_64)
endif()

include(CPack)
