// A printer whose every answer comes from fuzz input: product id first, then one
// record per read of the host. Records: a 2-byte big-endian length and that many bytes;
// the length 0xFFFF is a time-out; the end of the input times out every read after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend.h"

namespace kestrava::fuzzing {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool take(std::size_t count, const std::uint8_t*& bytes) {
    if (size_ - used_ < count) return false;
    bytes = data_ + used_;
    used_ += count;
    return true;
  }
  std::uint16_t take16() {
    const std::uint8_t* bytes = nullptr;
    if (!take(2, bytes)) return 0xFFFF;
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

class FuzzPipe : public UsbPipe {
 public:
  explicit FuzzPipe(FuzzInput& input) : input_(input) {}
  long long write(const std::uint8_t*, std::size_t count) override { return static_cast<long long>(count); }
  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t) override {
    transferred = 0;
    std::uint16_t length = input_.take16();
    if (length == 0xFFFF) return false;
    const std::uint8_t* bytes = nullptr;
    if (!input_.take(length, bytes)) return false;
    // A record longer than the read hands over what fits, as a pipe would.
    transferred = length < wanted ? length : wanted;
    std::memcpy(buffer, bytes, transferred);
    return true;
  }

 private:
  FuzzInput& input_;
};

class FuzzBackend : public UsbBackend {
 public:
  FuzzBackend(FuzzInput& input, std::u16string path) : input_(input), path_(std::move(path)) {}
  std::vector<std::u16string> interfacePaths() override { return {path_}; }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string&, PipeEnd) override {
    return std::make_unique<FuzzPipe>(input_);
  }

 private:
  FuzzInput& input_;
  std::u16string path_;
};

}  // namespace kestrava::fuzzing
