# make deb: a Debian package of the installed layout (cmake/Install.cmake)
# under /usr, made by CPack. Its dependencies come from the libraries the
# programs link (dpkg-shlibdeps), plus GLU, which the engine loads at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zumbrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Zumbrix developers <zumbrix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo and screen saver")
# Debian wants the long description in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Zumbrix plays a real-time audiovisual demo: a timeline of fades and six
animated 3D scenes in sync with its soundtrack, in a window, full screen or
as an xscreensaver hack. It comes with mirel, the tool for building demos of
one's own, packing them and bundling them into one program.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# x11, as xscreensaver's own hacks: the programs live in /usr/bin, not /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/zumbrix")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libglu1-mesa")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
