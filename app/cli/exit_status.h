// kestrava-cli's exit statuses: what a script can tell from a run without reading its
// output.
#pragma once

#include "run/run_outcome.h"

namespace kestrava::exitstatus {

inline constexpr int done = 0;           // the printer answered (perhaps not every item)
inline constexpr int notFound = 2;       // no printer interface of vendor 0x232B
inline constexpr int connectFailed = 3;  // the printer is there, its pipes would not open
inline constexpr int replayDiffers = 4;  // a replayed trace differs from the run
inline constexpr int printerSilent = 5;  // the link opened, the printer answered no request
inline constexpr int checkProblem = 6;   // --check: a printer is seen, something stands in the way
inline constexpr int usage = 64;         // the command line or a file it names is wrong
inline constexpr int writeFailed = 74;   // the output or the trace file could not be written

inline int of(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::done: return done;
    case RunOutcome::printerSilent: return printerSilent;
    case RunOutcome::printerNotFound: return notFound;
    case RunOutcome::connectFailed: return connectFailed;
  }
  return connectFailed;
}

// A short English name of the status, the "outcome" of the JSON output.
inline const char* nameOf(int status) {
  switch (status) {
    case done: return "done";
    case notFound: return "printer not found";
    case connectFailed: return "connect to printer failed";
    case replayDiffers: return "replayed trace differs";
    case printerSilent: return "the printer did not answer";
    case writeFailed: return "output could not be written";
    case checkProblem: return "a problem stands in the way";
  }
  return "usage error";
}

}  // namespace kestrava::exitstatus
