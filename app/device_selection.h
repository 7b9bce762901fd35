// Turns the --device argument into a back end of the link. The forms it takes are one
// table (deviceForms()): the parser, kestrava-cli's and kestrava's help, the bash completion
// and the documents follow it, so a new transport is a row of the table and its back end.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/usb_backend.h"

namespace kestrava {

// Makes a fresh back end of one printer on every call, each starting where the printer
// starts: a replayed trace from its first operation, a virtual printer from its scenario.
using BackendSource = std::function<std::unique_ptr<UsbBackend>()>;

// What the bash completion offers after a form's prefix.
enum class DeviceCompletion { nothing, files, interfacePaths };

// One form of the --device argument.
struct DeviceForm {
  std::string_view form;      // as the help and the documents write it: "tcp://HOST:PORT/PATH"
  std::string_view meaning;   // what it reads, in one line
  std::string_view example;   // an argument of this form (files named from the source tree)
  std::string_view helpNote;  // kestrava-cli --help's words in brackets after the form, or none
  std::string_view prefix;    // an argument of this form starts with it, or is it when `whole`
  bool whole;
  DeviceCompletion completion;
  // The source of back ends for `argument`; `rest` is what follows the prefix. Empty with
  // `error` set when the argument is malformed or its file cannot be loaded.
  BackendSource (*make)(const std::string& argument, const std::string& rest, std::string& error);
};

// Every form, the default (usb) first.
std::span<const DeviceForm> deviceForms();

// The forms as a list for a help text: "usb (default), usb:PATH, ...".
std::string deviceFormList();

// The forms for kestrava's help.
inline const std::string kDeviceForms = deviceFormList();

// kestrava-cli's help of --device: every form with its note.
std::string deviceOptionHelp();

// Reads the argument once (a scenario or a trace file is loaded here, not at each call).
// Empty with `error` set when the argument is malformed or its file cannot be loaded.
BackendSource makeBackendSource(const std::string& device, std::string& error);

// nullptr with `error` set when the argument is malformed or a scenario cannot be loaded.
std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error);

// The USB back end of this platform.
std::unique_ptr<UsbBackend> makePlatformBackend();

}  // namespace kestrava
