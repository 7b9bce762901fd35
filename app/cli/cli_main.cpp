// kestrava-cli: one acquisition run for terminals and scripts.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "run/acquisition_thread.h"
#include "app/cli/cli_dialog.h"
#include "app/device_selection.h"
#include "app/cli/run_output.h"
#include "app/cli/trace_dump.h"
#include "base/version.h"
#include "base/text_codec.h"
#include "link/replay_backend.h"
#include "link/trace_backend.h"
#include "link/trace_file.h"
#include "link/usb_printer_link.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitNotFound = 2;
constexpr int kExitConnectFailed = 3;
constexpr int kExitReplayDiffers = 4;
constexpr int kExitUsage = 64;

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

int listInterfaces(kestrava::UsbBackend& backend) {
  for (const std::u16string& path : backend.interfacePaths()) {
    bool matches = path.find(kestrava::UsbPrinterLink::defaultPathFilter) != std::u16string::npos;
    std::cout << (matches ? "* " : "  ") << kestrava::toUtf8(path) << '\n';
  }
  return kExitDone;
}

int exitStatusOf(kestrava::RunOutcome outcome) {
  switch (outcome) {
    case kestrava::RunOutcome::done: return kExitDone;
    case kestrava::RunOutcome::printerNotFound: return kExitNotFound;
    case kestrava::RunOutcome::connectFailed: return kExitConnectFailed;
  }
  return kExitConnectFailed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Reads service information out of a laser printer of USB vendor 0x232B and tells\n"
               "which main board and firmware line it carries."};
  app.name("kestrava-cli");
  std::string device = "usb";
  bool json = false;
  bool list = false;
  bool trace = false;
  std::string traceFile;
  app.add_option("-d,--device", device,
                 "usb (default), usb:PATH, tcp://HOST:PORT/PATH, virtual, virtual:FILE.json, replay:TRACE");
  app.add_flag("--list", list, "list the printer interfaces (* marks those of vendor 0x232B)");
  app.add_flag("--json", json, "print one JSON object with the status and the five fields");
  app.add_option("--trace", traceFile,
                 "dump every byte written to and read from the printer on stderr; with FILE also\n"
                 "write the exchange to FILE, which --device replay:FILE plays back")
      ->expected(0, 1)
      ->type_name("[FILE]");
  app.set_version_flag("--version", KESTRAVA_VERSION_TEXT);
  app.footer("Exit status: 0 done, 2 printer not found, 3 connect to printer failed,\n"
             "4 a replayed trace differs from the run, 64 usage error.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);
    std::cerr << "kestrava-cli: " << error.what() << '\n';
    return kExitUsage;
  }

  std::string error;
  std::unique_ptr<kestrava::UsbBackend> backend = kestrava::makeBackend(device, error);
  if (!backend) {
    std::cerr << "kestrava-cli: --device: " << error << '\n';
    return kExitUsage;
  }
  if (list) return listInterfaces(*backend);

  trace = app.count("--trace") > 0;
  std::ofstream traceOut;
  std::unique_ptr<kestrava::TraceFileWriter> traceWriter;
  if (!traceFile.empty()) {
    traceOut.open(traceFile, std::ios::binary | std::ios::trunc);
    if (!traceOut) {
      std::cerr << "kestrava-cli: --trace: cannot write " << traceFile << '\n';
      return kExitUsage;
    }
    traceWriter = std::make_unique<kestrava::TraceFileWriter>(traceOut);
  }
  kestrava::UsbBackend* used = backend.get();
  std::unique_ptr<kestrava::TraceBackend> traced;
  if (trace) {
    traced = std::make_unique<kestrava::TraceBackend>(*backend, [&traceWriter](const kestrava::TraceEvent& event) {
      std::cerr << kestrava::formatTraceEvent(event) << std::flush;
      if (traceWriter) traceWriter->write(event);
    });
    used = traced.get();
  }

  kestrava::CliDialog dialog;
  if (!json && isatty(STDERR_FILENO)) {
    // The first status of a run is its busy status; the final one goes to stdout.
    dialog.onUpdate = [announced = false](const kestrava::CliDialog& d) mutable {
      if (announced || d.m_status.empty()) return;
      std::cerr << kestrava::toUtf8(d.m_status) << '\n';
      announced = true;
    };
  }
  kestrava::RunOutcome outcome = kestrava::runAcquisition(dialog, *used);

  if (auto* replay = dynamic_cast<kestrava::ReplayBackend*>(backend.get())) {
    replay->finish();
    if (replay->mismatch()) {
      std::cerr << "kestrava-cli: " << *replay->mismatch() << '\n';
      if (json) std::cout << kestrava::runAsJson(dialog) << '\n';
      return kExitReplayDiffers;
    }
  }

  int status = exitStatusOf(outcome);

  if (json) {
    std::cout << kestrava::runAsJson(dialog) << '\n';
  } else if (status == kExitDone) {
    std::cout << kestrava::runAsText(dialog, kLineEnd);
  } else {
    std::cout << kestrava::toUtf8(dialog.m_status) << '\n';
  }
  if (status == kExitConnectFailed) {
    std::string hint = backend->openFailureHint();
    if (!hint.empty()) std::cerr << "kestrava-cli: " << hint << '\n';
  }
  return status;
}
