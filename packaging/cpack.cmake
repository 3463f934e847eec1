# The Debian package: `cpack -G DEB` in a build folder (scripts/package.sh does it all and runs
# lintian on the result).
set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME kelvarin)
set(CPACK_PACKAGE_VENDOR "The Kelvarin authors")
set(CPACK_PACKAGE_CONTACT "The Kelvarin authors <kelvarin@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "compress each file of a folder into a Zip archive of its own")
# Lines of at most 79 characters; an empty line starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvarin compresses every file of a chosen folder into a Zip archive of its
own, for systems that need short file names. Each archive gets an 8.3-style
name such as 0000docx.zip and holds one entry named by the file's own name;
an index, files.txt, maps each archive name to the file's base name.

The package holds the desktop program kelvarin, one window with Japanese
labels, and kelvarin-batch, which does the same job from the command line for
scripts and machines without a display, file by file or on all cores.")

set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELVARIN_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds the libraries the programs link; what Qt and the window load at run time
# it cannot see: the platform plugins (xcb among them) and the window's font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KELVARIN_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
endif()

# A source package is not made here; keep build folders out of one all the same.
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/out/")

include(CPack)
