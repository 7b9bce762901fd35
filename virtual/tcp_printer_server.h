// Serves a virtual printer as a raw byte stream on TCP, one connection at a time: what a
// network-attached printer port looks like to `tcp://HOST:PORT/PATH`.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "net/tcp_socket.h"
#include "virtual/virtual_printer.h"

namespace kestrava::virtualprinter {

class TcpPrinterServer {
 public:
  // Listens on 127.0.0.1 at `port` (0: a free port, see port()); throws on failure.
  TcpPrinterServer(Scenario scenario, std::uint16_t port = 0);
  ~TcpPrinterServer();

  std::uint16_t port() const { return port_; }
  VirtualPrinter& printer() { return printer_; }

  // Serves until stop() (from another thread) or, with `once`, until the first client leaves.
  void serve(bool once = false);
  void start();  // serve() on a thread of its own
  void stop();

 private:
  void serveClient(net::Socket client);

  VirtualPrinter printer_;
  net::Socket listener_ = net::invalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace kestrava::virtualprinter
