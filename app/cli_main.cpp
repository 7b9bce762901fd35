// kestrava-cli: one acquisition run for terminals and scripts.
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "app/acquisition_thread.h"
#include "app/cli_dialog.h"
#include "app/device_selection.h"
#include "device/text_codec.h"

int main(int argc, char** argv) {
  CLI::App app{"Reads service information out of a printer of USB vendor 0x232B."};
  std::string device = "usb";
  app.add_option("-d,--device", device,
                 "usb, usb:PATH, tcp://HOST:PORT/PATH, virtual or virtual:FILE.json");
  app.set_version_flag("--version", KESTRAVA_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);
    return error.get_exit_code() == 0 ? code : 64;
  }

  std::string error;
  auto backend = kestrava::makeBackend(device, error);
  if (!backend) {
    std::cerr << "kestrava-cli: --device: " << error << '\n';
    return 64;
  }
  kestrava::CliDialog dialog;
  kestrava::AcquisitionThread(dialog, *backend);
  std::cout << kestrava::toUtf8(dialog.m_status) << '\n';
  if (dialog.m_status == u"done") return 0;
  if (dialog.m_status == u"printer not found") return 2;
  return 3;
}
