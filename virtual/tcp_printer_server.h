// Serves a virtual printer as a raw byte stream on TCP: what a network-attached printer
// port looks like to `tcp://HOST:PORT/PATH`. Several hosts may be connected at once, each
// to a printer of its own built from the same scenario, so one slow or idle host never
// holds up another.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/tcp_socket.h"
#include "virtual/virtual_printer.h"

namespace kestrava::virtualprinter {

struct ServerLimits {
  // A host that sends nothing and takes no byte of a reply for this long is dropped: it
  // holds a place among `maxClients` and a thread, and a host in a run sends its next
  // request within seconds. A host still reading a long reply is not idle.
  int idleTimeoutMs = 60000;
  // A host that takes no byte of a reply for this long is dropped: it sends and never
  // reads, and waiting on it would hold its thread (and the server's stop) for ever.
  int sendTimeoutMs = 30000;
  // Hosts served at once; one more is accepted and closed at once with a note.
  unsigned maxClients = 16;
};

// How many hosts the server has seen, for the notes and for tests that wait on them.
struct ClientCounts {
  std::size_t accepted = 0;      // connections taken, including refused ones
  std::size_t connected = 0;     // being served now
  std::size_t finished = 0;      // served and gone, for whatever reason
  std::size_t idleDropped = 0;   // dropped after sending nothing for idleTimeoutMs
  std::size_t stuckDropped = 0;  // dropped after reading nothing for sendTimeoutMs
  std::size_t refused = 0;       // closed at once: maxClients were being served
};

class TcpPrinterServer {
 public:
  // Listens on 127.0.0.1 at `port` (0: a free port, see port()); throws std::system_error
  // with the address and the system's reason when it cannot.
  explicit TcpPrinterServer(Scenario scenario, std::uint16_t port = 0, ServerLimits limits = {});
  ~TcpPrinterServer();
  TcpPrinterServer(const TcpPrinterServer&) = delete;
  TcpPrinterServer& operator=(const TcpPrinterServer&) = delete;

  std::uint16_t port() const { return port_; }

  // The printer of the host connected last (it may have gone): what it received, for
  // tests. Null before the first host.
  std::shared_ptr<const VirtualPrinter> lastPrinter() const;

  ClientCounts counts() const;
  // Waits until `holds(counts())` or `timeoutMs` passed; returns whether it holds.
  bool waitFor(const std::function<bool(const ClientCounts&)>& holds, int timeoutMs) const;

  // What happens to hosts (connected, dropped and why, refused), one line each; called
  // from the threads that serve them. Set before serve() or start().
  void onNote(std::function<void(const std::string&)> note) { note_ = std::move(note); }

  // Serves until stop() or requestStop(), or with `once` until the first host leaves.
  // Returns after every host's connection is closed.
  void serve(bool once = false);
  void start();  // serve() on a thread of its own
  // Asks serve() to end; safe in a signal handler (an atomic store, nothing else). The
  // server's waits look at it at least every 50 ms.
  void requestStop() { stopping_.store(true); }
  void stop();  // requestStop(), then waits for start()'s thread

 private:
  struct Client;
  void serveClient(net::OwnedSocket socket, VirtualPrinter& printer, std::size_t number);
  void reapFinished(bool all);
  void note(const std::string& line) const;
  void changeCounts(const std::function<void(ClientCounts&)>& change);

  Scenario scenario_;
  ServerLimits limits_;
  std::function<void(const std::string&)> note_;
  net::OwnedSocket listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "requestStop() must be safe in a signal handler");
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  ClientCounts counts_;
  std::shared_ptr<VirtualPrinter> lastPrinter_;
  std::list<std::unique_ptr<Client>> clients_;  // touched by serve()'s thread only
};

}  // namespace kestrava::virtualprinter
