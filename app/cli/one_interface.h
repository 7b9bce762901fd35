// One printer interface out of a back end that offers several: the run of `--all` for
// each printer sees only its own interface, so the link, which takes the first match,
// takes that one.
#pragma once

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

}  // namespace kestrava
