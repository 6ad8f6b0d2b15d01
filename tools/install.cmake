# Installs the demo like a desktop program and packages it for Debian.
# The data is generated into the build tree (see tools/CMakeLists.txt).
include(GNUInstallDirs)

set(DEMO_DATA_PARENT ${CMAKE_INSTALL_FULL_DATADIR}/ninefold)
target_compile_definitions(platform PRIVATE
  DEMO_INSTALLED_DATA_PARENT="${DEMO_DATA_PARENT}")

install(TARGETS ninefold RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The icon stays in the data too: the window shows it.
install(DIRECTORY ${CMAKE_BINARY_DIR}/data DESTINATION ${CMAKE_INSTALL_DATADIR}/ninefold)
install(FILES ${CMAKE_SOURCE_DIR}/tools/ninefold.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/data/icon.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME ninefold.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ninefold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo in nine sections")
set(CPACK_PACKAGE_CONTACT "ninefold team <team@ninefold.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# Dependencies come from the shared libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The GL driver is loaded at run time, so no library names it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
