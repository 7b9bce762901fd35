# The Linux desktop: the libusb back end of the link (the default device of kestrava-cli),
# the Qt dialog `kestrava`, their tests, and what a desktop installs with them (udev rule,
# desktop entry, icon).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
find_package(Qt6 REQUIRED COMPONENTS Widgets)

target_sources(kestrava_backends PRIVATE
  ${PROJECT_SOURCE_DIR}/usb/libusb_backend.cpp
  ${PROJECT_SOURCE_DIR}/usb/cancellable_backend.cpp)
target_link_libraries(kestrava_backends PUBLIC PkgConfig::LIBUSB)
target_compile_definitions(kestrava_backends PRIVATE KESTRAVA_HAVE_LIBUSB)

add_library(kestrava_dialog STATIC
  ${PROJECT_SOURCE_DIR}/app/qt/kestrava_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/qt/kestrava_dialog.h)
set_target_properties(kestrava_dialog PROPERTIES AUTOMOC ON)
target_link_libraries(kestrava_dialog PUBLIC kestrava_backends Qt6::Widgets)
qt_add_resources(kestrava_dialog kestrava_icon
  PREFIX /
  BASE ${PROJECT_SOURCE_DIR}/packaging/linux
  FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.png)
kestrava_warnings(kestrava_dialog)

add_executable(kestrava ${PROJECT_SOURCE_DIR}/app/qt/main.cpp)
target_link_libraries(kestrava PRIVATE kestrava_dialog)
kestrava_warnings(kestrava)

# udev reads rules from /usr/lib/udev/rules.d and /etc/udev/rules.d, not from under
# /usr/local: with another prefix, point this at /etc/udev/rules.d.
set(KESTRAVA_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where cmake --install puts the udev rule")
install(TARGETS kestrava RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/60-kestrava.rules DESTINATION ${KESTRAVA_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/kestrava.png DESTINATION share/icons/hicolor/64x64/apps)

if(KESTRAVA_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/desktop ${PROJECT_BINARY_DIR}/tests/desktop)
endif()
