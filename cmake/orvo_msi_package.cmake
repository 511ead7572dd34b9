# Run by CPack's External generator (see orvo_msi.cmake) once the release's files are
# staged in CPACK_TEMPORARY_DIRECTORY.
set(orvo_msi ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi)
execute_process(
    COMMAND bash ${CPACK_ORVO_BUILD_MSI} ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_PACKAGE_VERSION}
            ${orvo_msi}
    RESULT_VARIABLE orvo_msi_result)
if(NOT orvo_msi_result EQUAL 0)
    message(FATAL_ERROR "the installer package was not built (build-msi.sh: ${orvo_msi_result})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${orvo_msi})
