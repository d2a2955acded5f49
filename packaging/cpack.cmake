# The .deb: cpack -G DEB in the build folder (or cmake --build BUILD --target package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbelin)
set(CPACK_PACKAGE_VENDOR "Orbelin")
set(CPACK_PACKAGE_CONTACT "Orbelin <orbelin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of multiple-choice quiz banks (QCM)")
set(CPACK_PACKAGE_DESCRIPTION "Orbelin edits banks of multiple-choice quiz cards, one card at a time: a question,
three answers, the good answer, a comment, a theme, a picture or a sound. It searches,
transfers and prints the cards. The qzf tool shows, searches, sorts and rewrites banks
from the command line. A sample bank, DEMO.qzf, is copied into each user's folder on
the first start.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
# Libraries found by dpkg-shlibdeps; the sound player's WAV decoder is a GStreamer plugin
# that no library link shows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-good")
# MIDI sounds are synthesised by a plugin of the "bad" set: wanted, not required. Qt's own
# texts (standard buttons, the file chooser) speak French with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-bad, qt6-translations-l10n")
include(CPack)
