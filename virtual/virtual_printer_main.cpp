// kestrava-virtual-printer: serves the virtual printer on a TCP port, so that
// `kestrava-cli --device tcp://127.0.0.1:PORT/vid_232b&pid_XXXX` can talk to it.
#include <csignal>
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "virtual/scenario.h"
#include "virtual/tcp_printer_server.h"

namespace {
kestrava::virtualprinter::TcpPrinterServer* running = nullptr;
void onSignal(int) {
  if (running) running->stop();
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Serves a virtual printer of vendor 0x232B as a raw byte stream on 127.0.0.1."};
  std::uint16_t port = 9100;
  std::string scenarioFile;
  bool once = false;
  app.add_option("-p,--port", port, "TCP port to listen on (0: any free port)");
  app.add_option("-s,--scenario", scenarioFile, "scenario file (JSON); default: a healthy mono printer");
  app.add_flag("--once", once, "serve one connection, then exit");
  CLI11_PARSE(app, argc, argv);

  try {
    auto scenario = scenarioFile.empty() ? kestrava::virtualprinter::healthyMonoPrinter()
                                         : kestrava::virtualprinter::loadScenario(scenarioFile);
    std::string path = scenario.path();
    kestrava::virtualprinter::TcpPrinterServer server(std::move(scenario), port);
    std::printf("listening on 127.0.0.1:%u, device tcp://127.0.0.1:%u/%s\n", server.port(), server.port(),
                path.c_str());
    std::fflush(stdout);
    running = &server;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    server.serve(once);
    running = nullptr;
  } catch (const std::exception& error) {
    std::cerr << "kestrava-virtual-printer: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
