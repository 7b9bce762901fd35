# The Linux desktop: the libusb back end of the link (the default device of kestrava-cli)
# and its tests.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)

target_sources(kestrava_backends PRIVATE ${PROJECT_SOURCE_DIR}/usb/libusb_backend.cpp)
target_link_libraries(kestrava_backends PUBLIC PkgConfig::LIBUSB)
target_compile_definitions(kestrava_backends PRIVATE KESTRAVA_HAVE_LIBUSB)

if(KESTRAVA_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/desktop ${PROJECT_BINARY_DIR}/tests/desktop)
endif()
