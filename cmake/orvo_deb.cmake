# The Debian package orvo_VERSION-REVISION_amd64.deb: the programs in /usr/bin, the template
# unit orvo@.service, the logrotate file, the example server as an instance, and the
# documentation with Debian's copyright and changelog files. Its files form the install
# component "deb", which a plain `cmake --install` and the tarball leave out; the package
# takes the common files and these (see orvo_cpack_generators.cmake).

set(deb_dir ${CMAKE_SOURCE_DIR}/packaging/deb)
set(deb_build ${CMAKE_BINARY_DIR}/deb)

# The Debian revision comes from the changelog's latest entry, whose upstream version must
# be the project's: a release without its changelog entry is not built.
file(STRINGS ${deb_dir}/changelog deb_latest LIMIT_COUNT 1)
if(NOT deb_latest MATCHES "^orvo \\(([^-)]+)-([^)]+)\\)")
    message(FATAL_ERROR "packaging/deb/changelog: the first line names no orvo version")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/deb/changelog's latest entry is for ${CMAKE_MATCH_1}, the "
                        "project is ${PROJECT_VERSION}: add an entry for this release")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})

# Debian wants the changelog and the manual pages compressed at the highest level, without
# a time stamp.
file(MAKE_DIRECTORY ${deb_build})
foreach(deb_file changelog:changelog.Debian.gz orvo.1:orvo.1.gz orvo-check.1:orvo-check.1.gz)
    string(REPLACE ":" ";" deb_file ${deb_file})
    list(GET deb_file 0 deb_source)
    list(GET deb_file 1 deb_target)
    execute_process(COMMAND gzip -9nc ${deb_dir}/${deb_source}
                    OUTPUT_FILE ${deb_build}/${deb_target} RESULT_VARIABLE deb_gzip_result)
    if(NOT deb_gzip_result EQUAL 0)
        message(FATAL_ERROR "could not compress packaging/deb/${deb_source}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${deb_dir}/${deb_source})
endforeach()

install(FILES ${deb_dir}/orvo@.service DESTINATION /lib/systemd/system
        COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/orvo.logrotate DESTINATION /etc/logrotate.d RENAME orvo
        COMPONENT deb EXCLUDE_FROM_ALL)
# The instances' settings go here; the package owns the directory so that it is there.
install(DIRECTORY DESTINATION /etc/orvo COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/copyright ${deb_build}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_build}/orvo.1.gz ${deb_build}/orvo-check.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME orvo COMPONENT deb EXCLUDE_FROM_ALL)
# The example stays out of the documentation directory, which minimal systems leave out
# (dpkg's path-exclude), so that its settings and its jar are always there together.
set(deb_example ${CMAKE_INSTALL_DATADIR}/orvo/examples/hello-server)
install(FILES ${deb_dir}/hello.xml DESTINATION ${deb_example} COMPONENT deb EXCLUDE_FROM_ALL)
install(DIRECTORY examples/hello-server/src DESTINATION ${deb_example}
        COMPONENT deb EXCLUDE_FROM_ALL)
if(example_jar)
    install(FILES ${example_jar} DESTINATION ${deb_example}/lib COMPONENT deb EXCLUDE_FROM_ALL)
else()
    message(WARNING "no javac and jar: the Debian package will lack the example's jar")
endif()

# A stripped install (the package's, or `cmake --install --strip`) also drops the sections
# that name the compilers, as Debian's own packages do: CPack's strip leaves them in.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        foreach(program $<TARGET_FILE_NAME:orvo> $<TARGET_FILE_NAME:orvo-check>)
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                                    --remove-section=.note \"\${bin}/\${program}\"
                            RESULT_VARIABLE result)
            if(NOT result EQUAL 0)
                message(FATAL_ERROR \"could not remove .comment and .note from \${program}\")
            endif()
        endforeach()
    endif()")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "orvo maintainers <maintainers@orvo.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Runs a Java server as a systemd service
orvo loads a Java virtual machine into its own process, calls the configured
class's static start method when the service starts and its stop method when
it stops, and reports each state to systemd (Type=notify). The settings, one
XML file per service, name the JVM library, the class path, the JVM's options,
the class and its methods, and the two log files.

The template unit orvo@.service runs one server per instance, as the system
user orvo, from /etc/orvo/NAME.xml; logrotate rotates the instances' logs
without copying them. orvo-check shows how a settings file is read and can try
the Java side without starting the server.")
# Libraries from dpkg-shlibdeps; adduser for the package's user. The JVM is loaded at run
# time from the path in the settings, so a runtime is only recommended: the settings may
# name any.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "default-jre-headless | java-runtime-headless, logrotate")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_dir}/postinst ${deb_dir}/prerm ${deb_dir}/postrm
                                       ${deb_dir}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# Settings that differ between the tarball and the package, read by CPack per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/orvo_cpack_generators.cmake)
