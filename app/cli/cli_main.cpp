// kestrava-cli: acquisition runs for terminals, scripts and service benches.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "app/cli/cli_dialog.h"
#include "app/cli/exit_status.h"
#include "app/cli/help_format.h"
#include "app/cli/interface_list.h"
#include "app/cli/machine_check.h"
#include "app/one_interface.h"
#include "app/cli/run_output.h"
#include "app/cli/run_progress.h"
#include "app/cli/standard_output.h"
#include "base/visible_text.h"
#include "app/cli/trace_dump.h"
#include "app/device_selection.h"
#include "base/text_codec.h"
#include "base/version.h"
#include "link/replay_backend.h"
#include "link/trace_backend.h"
#include "link/trace_file.h"
#include "link/usb_printer_link.h"
#include "run/acquisition_thread.h"
#include "run/silence_reason.h"

namespace {

using namespace kestrava;

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

struct Options {
  std::string device = "usb";
  bool json = false;
  bool list = false;
  bool all = false;
  bool progress = false;
  bool quiet = false;
  bool trace = false;
  bool dump = false;
  bool check = false;
  std::string traceFile;
};

// One finished run, as it is printed.
struct FinishedRun {
  CliDialog dialog;
  RunRecord record;
  int status = exitstatus::done;
  std::u16string devicePath;
};

// Progress and the trace dump share stderr; one line at a time.
std::mutex stderrLock;

void writeOnStderr(const std::string& text) {
  std::lock_guard<std::mutex> lock(stderrLock);
  std::cerr << text << std::flush;
}

void sayOnStderr(const std::string& line) { writeOnStderr(line + '\n'); }

// A message on stderr under the program's name. It may carry outside text (a file name, a
// member of a trace, a device path): control characters in it are shown visibly.
void complain(const std::string& message) { sayOnStderr("kestrava-cli: " + visibleExcerpt(message, 4000)); }

std::string systemReason(int error) { return std::generic_category().message(error != 0 ? error : EIO); }

// The output, whole; false, said on stderr, when it could not be written (a full disk).
bool writeOutput(const std::string& text) {
  errno = 0;
  std::cout << text << std::flush;
  if (std::cout) return true;
  complain("cannot write the output: " + systemReason(errno));
  return false;
}

// Everything that talks to the printer for one run: the progress notice and the trace
// wrap the back end the run sees.
FinishedRun runOnce(UsbBackend& backend, const Options& options, std::optional<ProgressStyle> progressStyle,
                    TraceFileWriter* traceWriter) {
  UsbBackend* used = &backend;
  std::unique_ptr<TraceBackend> traced;
  if (options.trace) {
    bool dump = options.dump || options.traceFile.empty();
    traced = std::make_unique<TraceBackend>(*used, [traceWriter, dump](const TraceEvent& event) {
      if (dump) {
        std::lock_guard<std::mutex> lock(stderrLock);
        std::cerr << formatTraceEvent(event) << std::flush;
      }
      if (traceWriter) traceWriter->write(event);
    });
    used = traced.get();
  }
  std::unique_ptr<RunProgress> progress;
  FinishedRun run;
  if (progressStyle) {
    progress = std::make_unique<RunProgress>(*used, *progressStyle, writeOnStderr, terminalColumns(STDERR_FILENO));
    used = &progress->backend();
    run.dialog.onUpdate = [&progress](const CliDialog& dialog) { progress->fieldsChanged(dialog); };
  }
  RunOutcome outcome = runAcquisition(run.dialog, *used, run.record);
  run.dialog.onUpdate = nullptr;
  if (progress) progress->finish();
  run.status = exitstatus::of(outcome);
  run.devicePath = run.record.devicePath;
  if (run.devicePath.empty()) {
    // The interface the link tried and could not open.
    std::vector<std::u16string> paths = printerPaths(backend);
    if (!paths.empty()) run.devicePath = paths.front();
  }
  return run;
}

std::string textOf(const FinishedRun& run, bool heading) {
  std::string text;
  if (heading) text += "== " + toUtf8(visibleControls(run.devicePath)) + " ==" + kLineEnd;
  if (run.record.linkOpened) return text + runAsText(run.dialog, kLineEnd);
  return text + toUtf8(run.dialog.m_status) + '\n';
}

// What kestrava-cli prints for its runs, as JSON or as text.
std::string outputOf(const std::vector<FinishedRun>& runs, const Options& options) {
  if (options.json) {
    std::string out;
    for (const FinishedRun& run : runs) {
      if (!out.empty()) out += ",";
      out += runAsJson({run.dialog, run.record, run.status, run.devicePath});
    }
    return (options.all ? "[" + out + "]" : out) + '\n';
  }
  if (options.all && runs.empty()) return "printer not found\n";
  std::string out;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) out += kLineEnd;
    out += textOf(runs[i], options.all);
  }
  return out;
}

std::string examplesAndStatuses() {
  return "Examples:\n"
         "  kestrava-cli --device virtual\n"
         "      a run against the built-in virtual printer: what the output looks like\n"
         "  kestrava-cli\n"
         "      reads the first printer of vendor 0x232B attached by USB\n"
         "  kestrava-cli --list\n"
         "      shows every printer interface and which model each printer is\n"
         "  kestrava-cli --all --json\n"
         "      reads every attached printer, one JSON object each in an array\n"
         "  kestrava-cli --trace kestrava.trace\n"
         "      records the exchange for a bug report (the trace holds the serial number)\n"
         "  kestrava-cli --device replay:kestrava.trace --json\n"
         "      plays a recorded trace back\n"
         "\n"
         "Exit status:\n"
         "  0   done: the printer answered (items it did not answer read \"undefined\")\n"
         "  2   printer not found: no printer interface of vendor 0x232B\n"
         "  3   connect to printer failed: busy, no permission, TCP not reachable\n"
         "  4   a replayed trace differs from the run\n"
         "  5   the printer did not answer: the link opened but no request got an answer\n"
         "  6   --check: a printer is seen, but something stands in the way\n"
         "  64  usage error: a wrong option, device or file\n"
         "  74  the output or the trace file could not be written (a full disk)\n"
         "With --all: the status of the first printer whose run did not end with 0.\n";
}

// A usage error: said on stderr and, with --json, as a JSON object on stdout.
int usageError(const std::string& message, bool json) {
  complain(message);
  if (json) writeOutput(errorAsJson(message, exitstatus::usage) + "\n");
  return exitstatus::usage;
}

// The command line into `options`; an exit status when the program ends here (help,
// version, a usage error).
std::optional<int> parseCommandLine(int argc, char** argv, Options& options) {
  CLI::App app{
      "Reads service information out of a laser printer of USB vendor 0x232B and tells which main "
      "board and firmware line it carries."};
  app.name("kestrava-cli");
  app.formatter(std::make_shared<HelpFormat>());
  app.add_option("-d,--device", options.device, deviceOptionHelp());
  app.add_flag("--list", options.list,
               "list the printer interfaces; * marks those of vendor 0x232B, with their model name");
  app.add_flag("--all", options.all, "read every attached printer of vendor 0x232B, one run after another");
  app.add_flag("--json", options.json,
               "print the result as JSON (with --all an array, one object per printer); see docs/json.md");
  app.add_flag("--progress", options.progress,
               "plain progress lines on stderr: each value as soon as it is read, and what a slow "
               "read waits for (on a terminal, one line that rewrites itself is the default)");
  app.add_flag("-q,--quiet", options.quiet, "no progress on stderr, even on a terminal");
  app.add_option("--trace", options.traceFile,
                 "without FILE: dump every byte written to and read from the printer on stderr; "
                 "with FILE: record the exchange to FILE (for --device replay:FILE) without a dump");
  app.get_option("--trace")->expected(0, 1)->type_name("[FILE]");
  app.add_flag("--dump", options.dump, "with --trace FILE: dump on stderr as well");
  app.add_flag("--check", options.check,
               "read no printer; say what this machine shows of printers of vendor 0x232B and what stands in the "
               "way (USB, driver, permissions, udev rule, session, print queue), each with the next step");
  app.set_version_flag("--version", KESTRAVA_VERSION_TEXT);
  app.footer(examplesAndStatuses());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);
    // The options were not all read: --json counts wherever it stands.
    bool json = false;
    for (int i = 1; i < argc; ++i) json = json || std::string(argv[i]) == "--json";
    return usageError(error.what(), json);
  }
  options.trace = app.count("--trace") > 0;
  if (options.all && !options.traceFile.empty()) {
    return usageError("--trace FILE records one run; it cannot be used with --all", options.json);
  }
  if (options.dump && options.traceFile.empty()) {
    return usageError("--dump goes with --trace FILE", options.json);
  }
  if (options.check &&
      (app.count("--device") > 0 || options.list || options.all || options.trace || options.progress)) {
    return usageError("--check reads no printer: --device, --list, --all, --trace and --progress do not go with it",
                      options.json);
  }
  if (options.progress && options.quiet) {
    return usageError("--progress and --quiet exclude each other", options.json);
  }
  return std::nullopt;
}

// --check: what this machine shows of the vendor's printers and what stands in the way.
int checkMachine(const Options& options) {
  const MachineCheck check = checkThisMachine();
  if (!writeOutput(options.json ? checkAsJson(check) + "\n" : checkAsText(check))) return exitstatus::writeFailed;
  return checkExitStatus(check);
}

// --list: the printer interfaces, as text or JSON.
int listPrinters(UsbBackend& backend, const Options& options) {
  std::vector<ListedInterface> interfaces = listInterfaces(backend);
  const bool written = writeOutput(options.json ? interfacesAsJson(interfaces) + "\n" : interfacesAsText(interfaces));
  return written ? exitstatus::done : exitstatus::writeFailed;
}

// --trace FILE: the file opened for writing, or the usage error when it cannot be.
std::optional<int> openTraceFile(const Options& options, std::ofstream& traceOut,
                                 std::unique_ptr<TraceFileWriter>& traceWriter) {
  if (options.traceFile.empty()) return std::nullopt;
  errno = 0;
  traceOut.open(options.traceFile, std::ios::binary | std::ios::trunc);
  if (!traceOut) {
    return usageError("--trace: cannot write " + quotedExcerpt(options.traceFile, 200) + ": " + systemReason(errno),
                      options.json);
  }
  traceWriter = std::make_unique<TraceFileWriter>(traceOut);
  return std::nullopt;
}

// One run, or with --all one run for each printer of the vendor.
std::vector<FinishedRun> runPrinters(UsbBackend& backend, const Options& options, TraceFileWriter* traceWriter) {
  // Progress is for a person watching; a trace dump on stderr is enough to read already,
  // and the rewriting line would tear the dump's lines.
  bool dumpOnStderr = options.trace && (options.traceFile.empty() || options.dump);
  bool terminal = isatty(STDERR_FILENO) != 0;
  std::optional<ProgressStyle> progressStyle;
  if (options.progress || (!options.quiet && terminal && !(options.trace && options.traceFile.empty()))) {
    progressStyle = terminal && !dumpOnStderr ? ProgressStyle::statusLine : ProgressStyle::lines;
  }
  std::vector<FinishedRun> runs;
  if (options.all) {
    for (const std::u16string& path : printerPaths(backend)) {
      OneInterface printer(backend, path);
      if (progressStyle) sayOnStderr("== " + toUtf8(visibleControls(path)) + " ==");
      runs.push_back(runOnce(printer, options, progressStyle, traceWriter));
    }
  } else {
    runs.push_back(runOnce(backend, options, progressStyle, traceWriter));
  }
  return runs;
}

// The status of the runs: the first that did not end with 0; then a replay that differs
// from its trace, or a trace that could not be written whole, is the status of every run.
int statusOf(std::vector<FinishedRun>& runs, const Options& options, UsbBackend& backend,
             TraceFileWriter* traceWriter) {
  int status = exitstatus::done;
  if (options.all && runs.empty()) status = exitstatus::notFound;
  for (const FinishedRun& run : runs) {
    if (status == exitstatus::done) status = run.status;
  }
  if (auto* replay = dynamic_cast<ReplayBackend*>(&backend)) {
    replay->finish();
    if (replay->mismatch()) {
      complain(*replay->mismatch());
      status = exitstatus::replayDiffers;
      for (FinishedRun& run : runs) run.status = status;
    }
  }
  // A trace that could not be written whole is no record of the run: the user would send
  // an empty or cut file with a bug report.
  if (traceWriter) {
    traceWriter->flush();
    if (traceWriter->failed()) {
      complain("cannot write trace file " + quotedExcerpt(options.traceFile, 200) + ": " +
               systemReason(traceWriter->failure()));
      status = exitstatus::writeFailed;
      for (FinishedRun& run : runs) run.status = status;
    }
  }
  return status;
}

// After the output: why a printer stayed silent, would not open or was not found, and
// what to do about it, on stderr.
void explainOnStderr(const std::vector<FinishedRun>& runs, const Options& options, const UsbBackend& backend,
                     int status) {
  for (const FinishedRun& run : runs) {
    if (run.record.linkOpened && !run.record.printerAnswered) {
      const std::string path = toUtf8(run.devicePath);
      const std::string peer = backend.peerName();
      complain((options.all ? path + ": " : std::string()) + silenceReason(run.record, peer.empty() ? path : peer));
    }
  }
  if (status == exitstatus::connectFailed) {
    std::string hint = backend.openFailureHint();
    if (!hint.empty()) complain(hint);
  }
  if (status == exitstatus::notFound) {
    std::string hint = backend.notFoundHint();
    complain(!hint.empty() ? hint
                           : "no printer of vendor 0x232B is attached, or it is switched off: check the cable and the "
                             "power; kestrava-cli --check says what this system sees of it and what stands in the way");
  }
}

}  // namespace

int main(int argc, char** argv) {
  setUpStandardOutput();
  Options options;
  if (std::optional<int> status = parseCommandLine(argc, argv, options)) return *status;
  if (options.check) return checkMachine(options);

  std::string error;
  std::unique_ptr<UsbBackend> backend = makeBackend(options.device, error);
  if (!backend) {
    return usageError("--device: " + error, options.json);
  }
  if (options.list) return listPrinters(*backend, options);

  std::ofstream traceOut;
  std::unique_ptr<TraceFileWriter> traceWriter;
  if (std::optional<int> status = openTraceFile(options, traceOut, traceWriter)) return *status;

  std::vector<FinishedRun> runs = runPrinters(*backend, options, traceWriter.get());
  int status = statusOf(runs, options, *backend, traceWriter.get());
  if (!writeOutput(outputOf(runs, options))) status = exitstatus::writeFailed;
  explainOnStderr(runs, options, *backend, status);
  return status;
}
