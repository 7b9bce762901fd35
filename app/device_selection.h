// Turns the --device argument into a back end of the link:
//   usb            the platform's USB printer interfaces (first path with "vid_232b")
//   usb:PATH       that device path exactly
//   tcp://HOST:PORT/PATH   a raw byte stream; PATH is the device path
//   virtual        the built-in healthy mono printer
//   virtual:FILE   a virtual printer driven by a scenario file
//   virtual:FILE,FILE...   several virtual printers attached side by side
//   replay:FILE    the printer's side of a recorded trace (--trace FILE)
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/usb_backend.h"

namespace kestrava {

// The forms --device takes, for the programs' help.
inline constexpr const char* kDeviceForms =
    "usb (default), usb:PATH, tcp://HOST:PORT/PATH, virtual, virtual:FILE.json, replay:TRACE";

// Makes a fresh back end of one printer on every call, each starting where the printer
// starts: a replayed trace from its first operation, a virtual printer from its scenario.
using BackendSource = std::function<std::unique_ptr<UsbBackend>()>;

// Reads the argument once (a scenario or a trace file is loaded here, not at each call).
// Empty with `error` set when the argument is malformed or its file cannot be loaded.
BackendSource makeBackendSource(const std::string& device, std::string& error);

// nullptr with `error` set when the argument is malformed or a scenario cannot be loaded.
std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error);

// The USB back end of this platform.
std::unique_ptr<UsbBackend> makePlatformBackend();

}  // namespace kestrava
