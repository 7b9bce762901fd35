// How a run ended, for the front ends that act on it (kestrava-cli's exit status). The
// dialog shows the same as a status text; no front end reads the text back.
#pragma once

namespace kestrava {

enum class RunOutcome {
  done,             // the link was opened: every item was asked, and the printer answered
  printerSilent,    // the link was opened, every item was asked, and no request got any answer
  printerNotFound,  // no printer interface of the vendor
  connectFailed,    // the printer is there, a pipe of it could not be opened
};

}  // namespace kestrava
