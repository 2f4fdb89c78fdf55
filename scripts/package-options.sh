# The cmake options of a tree the Debian package is made from (sourced: sets the array
# package_options). Debian's hardening (stack protector, _FORTIFY_SOURCE, RELRO and
# BIND_NOW) and its other flags; the preprocessor's go in with the compiler's, since CMake
# reads no CPPFLAGS. The programs live in /usr and tell systemd when they are ready.
# Run from the top folder: the flags map the checkout's path to "." in the debug information.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
package_options=(
  -DCMAKE_INSTALL_PREFIX=/usr -DRUVO_SYSTEMD=ON
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)")
