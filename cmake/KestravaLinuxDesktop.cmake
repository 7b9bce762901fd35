# What a Linux desktop installs beside the programs (udev rule, AppStream metadata, man pages, bash completion,
# desktop entry, icons), and the tests of the desktop: the libusb back end's pure parts,
# the Qt dialog, the man pages.

# udev reads rules from /usr/lib/udev/rules.d and /etc/udev/rules.d, not from under
# /usr/local: with another prefix, point this at /etc/udev/rules.d.
set(KESTRAVA_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where cmake --install puts the udev rule")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/60-kestrava.rules DESTINATION ${KESTRAVA_UDEV_RULES_DIR})
# The same vendor's devices announced to software centres (AppStream).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/org.kestrava.kestrava_cli.metainfo.xml DESTINATION share/metainfo)
install(FILES
  ${PROJECT_SOURCE_DIR}/packaging/man/kestrava-cli.1
  ${PROJECT_SOURCE_DIR}/packaging/man/kestrava-virtual-printer.1
  DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava-cli.bash-completion
  DESTINATION share/bash-completion/completions RENAME kestrava-cli)
# The pages the man pages point to: the JSON, trace and scenario formats.
install(FILES
  ${PROJECT_SOURCE_DIR}/docs/json.md
  ${PROJECT_SOURCE_DIR}/docs/trace-format.md
  ${PROJECT_SOURCE_DIR}/docs/virtual-printer.md
  DESTINATION share/doc/kestrava-cli)

if(KESTRAVA_DIALOG)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/kestrava.1 DESTINATION share/man/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.desktop DESTINATION share/applications)
  # The 64 x 64 icon is the dialog's own; the other sizes are scaled from it.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.png DESTINATION share/icons/hicolor/64x64/apps)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/packaging/linux/icons/ DESTINATION share/icons)
endif()

if(KESTRAVA_TESTS AND KESTRAVA_DIALOG)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/desktop ${PROJECT_BINARY_DIR}/tests/desktop)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/man ${PROJECT_BINARY_DIR}/tests/man)
endif()
