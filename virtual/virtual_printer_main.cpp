// kestrava-virtual-printer: serves the virtual printer on a TCP port, so that
// `kestrava-cli --device "tcp://127.0.0.1:PORT/vid_232b&pid_XXXX"` can talk to it.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "base/version.h"
#include "virtual/scenario.h"
#include "virtual/tcp_printer_server.h"

namespace {

using kestrava::virtualprinter::TcpPrinterServer;

constexpr const char* kName = "kestrava-virtual-printer";
constexpr int kUsage = 64;        // the command line or the scenario file it names is wrong
constexpr int kCannotListen = 1;  // the system would not let the server listen

std::atomic<TcpPrinterServer*> running{nullptr};
static_assert(std::atomic<TcpPrinterServer*>::is_always_lock_free, "read in a signal handler");

// Only async-signal-safe steps: an atomic store the server's waits look at, and the
// default action back, so that a second Ctrl+C ends the program at once.
extern "C" void onSignal(int signal) {
  if (TcpPrinterServer* server = running.load()) server->requestStop();
  std::signal(signal, SIG_DFL);
}

// The scenario file's text; false with the file and the system's reason in `error`.
bool readScenarioFile(const std::string& fileName, std::string& text, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!file) {
    error = "cannot read " + fileName + ": " + std::generic_category().message(errno);
    return false;
  }
  // At most one byte more than a scenario may have: a device or an endless file
  // (/dev/zero) is refused instead of filling the memory.
  text.assign(kestrava::virtualprinter::kMaxScenarioFileBytes + 1, '\0');
  std::size_t got = std::fread(text.data(), 1, text.size(), file.get());
  if (std::ferror(file.get())) {
    error = "cannot read " + fileName + ": " + std::generic_category().message(errno);
    return false;
  }
  text.resize(got);
  if (text.size() > kestrava::virtualprinter::kMaxScenarioFileBytes) {
    error = fileName + " is longer than " + std::to_string(kestrava::virtualprinter::kMaxScenarioFileBytes) +
            " bytes, more than any scenario";
    return false;
  }
  return true;
}

// A TCP port in decimal digits, 0 to 65535.
bool portOf(const std::string& text, std::uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

std::string exitStatuses() {
  return "Stop it with Ctrl+C or SIGTERM; hosts still connected are disconnected.\n"
         "\n"
         "Example:\n"
         "  kestrava-virtual-printer --port 9100 --scenario 'virtual/scenarios/colour.json'\n"
         "  kestrava-cli --device 'tcp://127.0.0.1:9100/vid_232b&pid_0ef5'\n"
         "\n"
         "Exit status:\n"
         "  0   stopped (a signal, or --once after its host left)\n"
         "  1   cannot listen on the port\n"
         "  64  usage error: a wrong option or scenario file\n";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Serves a virtual laser printer of USB vendor 0x232B as a raw byte stream on 127.0.0.1; each host "
      "that connects talks to a printer of its own."};
  app.name(kName);
  std::string portText = "9100";
  std::string scenarioFile;
  bool once = false;
  int idleSeconds = 60;
  app.add_option("-p,--port", portText, "TCP port to listen on (0: any free port); default 9100")->type_name("PORT");
  app.add_option("-s,--scenario", scenarioFile, "scenario file (JSON); default: a healthy mono printer")
      ->type_name("FILE.json");
  app.add_option("--idle-timeout", idleSeconds,
                 "drop a host that neither sends nor reads for this many seconds (1 to 86400); default 60")
      ->type_name("SECONDS");
  app.add_flag("--once", once, "serve one connection, then exit");
  app.set_version_flag("--version", KESTRAVA_VERSION_TEXT);
  app.footer(exitStatuses());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);
    std::cerr << kName << ": " << error.what() << " (see " << kName << " --help)\n";
    return kUsage;
  }
  std::uint16_t port = 0;
  if (!portOf(portText, port)) {
    std::cerr << kName << ": --port: " << portText
              << " is not a port: give a number from 1 to 65535, or 0 for any free one\n";
    return kUsage;
  }
  if (idleSeconds < 1 || idleSeconds > 86400) {
    std::cerr << kName << ": --idle-timeout: " << idleSeconds << " is not between 1 and 86400 seconds (a day)\n";
    return kUsage;
  }

  kestrava::virtualprinter::Scenario scenario = kestrava::virtualprinter::healthyMonoPrinter();
  if (!scenarioFile.empty()) {
    std::string text, error;
    if (!readScenarioFile(scenarioFile, text, error)) {
      std::cerr << kName << ": --scenario: " << error << '\n';
      return kUsage;
    }
    try {
      scenario = kestrava::virtualprinter::parseScenario(text);
    } catch (const std::exception& bad) {
      std::cerr << kName << ": --scenario: " << scenarioFile << ": " << bad.what() << '\n';
      return kUsage;
    }
  }

  std::string path = scenario.path();
  kestrava::virtualprinter::ServerLimits limits;
  limits.idleTimeoutMs = idleSeconds * 1000;
  std::unique_ptr<TcpPrinterServer> server;
  try {
    server = std::make_unique<TcpPrinterServer>(std::move(scenario), port, limits);
  } catch (const std::system_error& error) {
    std::cerr << kName << ": " << error.what();
    if (error.code() == std::errc::address_in_use) {
      std::cerr << " (another program has the port: choose another with --port, or --port 0 for any free one)";
    } else if (error.code() == std::errc::permission_denied) {
      std::cerr << " (ports below 1024 are for the system: choose one above with --port)";
    }
    std::cerr << '\n';
    return kCannotListen;
  }
  server->onNote([](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  });
  std::printf("listening on 127.0.0.1:%u, device tcp://127.0.0.1:%u/%s\n", server->port(), server->port(),
              path.c_str());
  std::fflush(stdout);
  running = server.get();
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  server->serve(once);
  running = nullptr;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  return 0;
}
