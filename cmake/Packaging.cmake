# A Debian package of what "cmake --install" puts in place: cpack -G DEB
# from the build folder.
set(CPACK_PACKAGE_NAME fotra)
set(CPACK_PACKAGE_VENDOR "Fotra")
set(CPACK_PACKAGE_CONTACT "Fotra maintainers <fotra@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fast browser for folders of pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "Fotra Viewer shows a folder tree rooted at the user's Pictures, Desktop,\n"
    "Documents and Downloads folders, and the thumbnails of the selected\n"
    "folder's JPEG, PNG, BMP and TIFF pictures, built in the background.\n"
    "A picture can be copied to the clipboard or opened in the default viewer.\n"
    "Its texts are Japanese.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps where it is installed (dpkg-dev);
# the TIFF codec and the CJK font for the Japanese texts are loaded at run
# time, and "open in viewer" runs xdg-open, so no linker sees them.
find_program(FOTRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(FOTRA_RUNTIME_DEPENDS "qt6-image-formats-plugins, fonts-noto-cjk, xdg-utils")
if(FOTRA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${FOTRA_RUNTIME_DEPENDS}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libstdc++6, libc6, ${FOTRA_RUNTIME_DEPENDS}")
endif()
# Wayland sessions without qt6-wayland run it through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
