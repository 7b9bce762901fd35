// A printer reached as a raw byte stream over TCP ("tcp://HOST:PORT/PATH"). PATH is the
// device path the link filters and parses; nothing is connected before the link opens.
#pragma once

#include <cstdint>
#include <string>

#include "link/usb_backend.h"

namespace kestrava {

class TcpBackend : public UsbBackend {
 public:
  TcpBackend(std::string host, std::uint16_t port, std::u16string devicePath);

  // Parses "tcp://HOST:PORT/PATH"; false with a message when it is malformed.
  static bool parseAddress(const std::string& address, std::string& host, std::uint16_t& port, std::string& path,
                           std::string& error);

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;
  std::string peerName() const override;
  // Why the last connection could not be made (refused, unknown host, no answer), with
  // what to check; empty when it was made.
  std::string openFailureHint() const override { return openFailure_; }
  // The one path given is not of vendor 0x232B: no cable or power can change that.
  std::string notFoundHint() const override;

  struct Connection;  // one socket, shared by the two pipes

 private:
  std::string host_;
  std::uint16_t port_;
  std::u16string devicePath_;
  std::shared_ptr<Connection> connection_;
  std::string openFailure_;
};

}  // namespace kestrava
