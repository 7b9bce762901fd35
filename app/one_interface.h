// One printer interface out of a back end that offers several, so the link, which takes
// the first match, takes that one: the run of `--all` for each printer, and `--device
// usb:PATH`.
#pragma once

#include <memory>
#include <string>

#include "link/forwarding_backend.h"

namespace kestrava {

class OneInterface : public ForwardingBackend {
 public:
  OneInterface(UsbBackend& inner, std::u16string path) : ForwardingBackend(inner), path_(std::move(path)) {}

  std::vector<std::u16string> interfacePaths() override {
    for (const std::u16string& path : inner_.interfacePaths()) {
      if (path == path_) return {path};
    }
    return {};
  }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& path, PipeEnd end) override {
    return path == path_ ? inner_.openPipe(path, end) : nullptr;
  }

 private:
  std::u16string path_;
};

// The same, owning the back end it filters (held in a base, so it is made before the
// filter that refers to it and destroyed after it).
struct OwnedBackend {
  std::unique_ptr<UsbBackend> owned;
};

class OwnedOneInterface : private OwnedBackend, public OneInterface {
 public:
  OwnedOneInterface(std::unique_ptr<UsbBackend> inner, std::u16string path)
      : OwnedBackend{std::move(inner)}, OneInterface(*owned, std::move(path)) {}
};

}  // namespace kestrava
