# What a Linux desktop installs beside the programs (udev rule, desktop entry, icon), and
# the tests of the desktop: the libusb back end's pure parts, the Qt dialog.

# udev reads rules from /usr/lib/udev/rules.d and /etc/udev/rules.d, not from under
# /usr/local: with another prefix, point this at /etc/udev/rules.d.
set(KESTRAVA_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where cmake --install puts the udev rule")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/60-kestrava.rules DESTINATION ${KESTRAVA_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.png DESTINATION share/icons/hicolor/64x64/apps)

if(KESTRAVA_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/desktop ${PROJECT_BINARY_DIR}/tests/desktop)
endif()
