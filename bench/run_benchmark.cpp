// One whole acquisition run against the in-process virtual printer: the program's own
// time per run (the virtual printer answers without waiting, so nothing of it is a
// wait), the requests and transfers a run needs, and the wall time the run would take
// if every transfer cost a modelled USB latency.
#include <benchmark/benchmark.h>

#include <string>

#include "run/acquisition_thread.h"
#include "app/cli/cli_dialog.h"
#include "link/trace_backend.h"
#include "virtual/virtual_backend.h"
#include "virtual/scenario.h"

namespace {

// A bulk transfer to a printer on USB 2.0 takes about this long, answer included.
constexpr double kModelledTransferMs = 1.0;

void wholeRun(benchmark::State& state, kestrava::virtualprinter::Scenario scenario) {
  kestrava::VirtualBackend printer(std::move(scenario));
  std::size_t transfers = 0;
  kestrava::TraceBackend counted(printer, [&transfers](const kestrava::TraceEvent& event) {
    transfers += event.kind == kestrava::TraceEvent::Kind::read || event.kind == kestrava::TraceEvent::Kind::write;
  });
  std::size_t runs = 0;
  for (auto _ : state) {
    kestrava::CliDialog dialog;
    kestrava::AcquisitionThread(dialog, counted);
    benchmark::DoNotOptimize(dialog.m_report);
    ++runs;
  }
  double requestsPerRun = static_cast<double>(printer.printer().requestCount()) / static_cast<double>(runs);
  double transfersPerRun = static_cast<double>(transfers) / static_cast<double>(runs);
  state.counters["requests"] = requestsPerRun;
  state.counters["transfers"] = transfersPerRun;
  state.counters["modelled_wall_ms"] = benchmark::Counter(transfersPerRun * kModelledTransferMs);
}

void monoWithDrum(benchmark::State& state) { wholeRun(state, kestrava::virtualprinter::healthyMonoPrinter()); }

void colour(benchmark::State& state) {
  wholeRun(state,
           kestrava::virtualprinter::loadScenario(std::string(KESTRAVA_SOURCE_DIR) + "/virtual/scenarios/colour.json"));
}

}  // namespace

BENCHMARK(monoWithDrum)->Unit(benchmark::kMicrosecond);
BENCHMARK(colour)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
