# The Windows Installer package orvo-VERSION-windows-x64.msi, made by CPack's External
# generator: CPack installs the release's files into a staging tree, as it does for the
# zip, and packaging/windows/build-msi.sh turns that tree into the package with Debian's
# msitools (wixl, msibuild).

find_program(ORVO_WIXL wixl NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(ORVO_MSIBUILD msibuild NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/orvo_msi_package.cmake)
set(CPACK_ORVO_BUILD_MSI ${CMAKE_SOURCE_DIR}/packaging/windows/build-msi.sh)
