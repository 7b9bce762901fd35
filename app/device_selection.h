// Turns the --device argument into a back end of the link:
//   usb            the platform's USB printer interfaces (first path with "vid_232b")
//   usb:PATH       that device path exactly
//   tcp://HOST:PORT/PATH   a raw byte stream; PATH is the device path
//   virtual        the built-in healthy mono printer
//   virtual:FILE   a virtual printer driven by a scenario file
//   replay:FILE    the printer's side of a recorded trace (--trace FILE)
#pragma once

#include <memory>
#include <string>

#include "link/usb_backend.h"

namespace kestrava {

// nullptr with `error` set when the argument is malformed or a scenario cannot be loaded.
std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error);

// The USB back end of this platform.
std::unique_ptr<UsbBackend> makePlatformBackend();

}  // namespace kestrava
