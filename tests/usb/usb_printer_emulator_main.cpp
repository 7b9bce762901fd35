// kestrava-usb-printer: a printer of ours on the far end of qemu's usb-redir device.
// Listens on 127.0.0.1 at a free port, tells it on the first line of its output, serves the
// one connection qemu makes, and when qemu has gone prints what happened on the bus.
#include <cstdio>
#include <iostream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "tests/usb/usb_printer_emulator.h"
#include "virtual/scenario.h"

namespace {

// Waits for qemu to connect; a qemu that never starts must not leave this running.
constexpr int kAcceptTimeoutMs = 120000;

int listenOnFreePort(std::uint16_t& port) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    return -1;
  }
  port = ntohs(address.sin_port);
  return listener;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Emulates a USB printer of vendor 0x232B for qemu's usb-redir device."};
  app.name("kestrava-usb-printer");
  std::string scenarioFile;
  kestrava::usbtest::EmulatorOptions options;
  app.add_option("-s,--scenario", scenarioFile, "scenario file (JSON); default: a healthy mono printer");
  app.add_flag("--stall-held-replies", options.stallHeldReplies,
               "a request the printer leaves unanswered halts the bulk IN endpoint");
  CLI11_PARSE(app, argc, argv);

  kestrava::virtualprinter::Scenario scenario;
  try {
    scenario = scenarioFile.empty() ? kestrava::virtualprinter::healthyMonoPrinter()
                                    : kestrava::virtualprinter::loadScenario(scenarioFile);
  } catch (const std::exception& error) {
    std::cerr << "kestrava-usb-printer: " << error.what() << '\n';
    return 1;
  }

  std::uint16_t port = 0;
  int listener = listenOnFreePort(port);
  if (listener < 0) {
    std::perror("kestrava-usb-printer: listen");
    return 1;
  }
  std::printf("listening 127.0.0.1:%u\n", port);
  std::fflush(stdout);

  pollfd waiter{listener, POLLIN, 0};
  if (::poll(&waiter, 1, kAcceptTimeoutMs) <= 0) {
    std::cerr << "kestrava-usb-printer: nobody connected\n";
    return 1;
  }
  int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ::close(listener);
  if (peer < 0) {
    std::perror("kestrava-usb-printer: accept");
    return 1;
  }

  kestrava::usbtest::UsbPrinterEmulator emulator(std::move(scenario), options);
  emulator.serve(peer);
  ::close(peer);

  const auto& counts = emulator.counts();
  std::printf("requests %zu\n", emulator.printer().requestCount());
  std::printf("protocol-errors %zu\n", emulator.printer().protocolErrors().size());
  for (const std::string& error : emulator.printer().protocolErrors())
    std::printf("protocol-error %s\n", error.c_str());
  std::printf("device-id-requests %u\n", counts.deviceIdRequests);
  std::printf("stalls %u\n", counts.stalls);
  std::printf("halts-cleared %u\n", counts.haltsCleared);
  std::printf("cancelled %u\n", counts.cancelled);
  std::printf("unanswered-control %u\n", counts.unansweredControl);
  std::printf("unplugged %s\n", counts.unplugged ? "yes" : "no");
  return 0;
}
