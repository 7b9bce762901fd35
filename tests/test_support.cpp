#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "net/socket_system.h"

namespace kestrava::testing {

void expectWholeProtocol(UsbBackend& backend) {
  PrinterDevice device(backend);
  ASSERT_EQ(device.link().open(), LinkStatus::ok);
  device.link().drain();
  std::u16string version;
  EXPECT_EQ(device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::noError);
  EXPECT_EQ(version, u"3.3.8.1");
  std::uint8_t elfHeader[32];
  std::uint32_t size = 0;
  EXPECT_EQ(device.readFile("/bin/busybox", elfHeader, sizeof elfHeader, size), ResultCode::bufferTooSmall);
  EXPECT_EQ(size, 4096u);
  device.link().close();
}

virtualprinter::Scenario emptyScenario(std::uint16_t productId) {
  virtualprinter::Scenario scenario;
  scenario.productId = productId;
  return scenario;
}

net::Socket listenOnLoopback(std::uint16_t& port) {
  net::startUp();
  net::Socket listener = net::openStreamSocket(AF_INET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 1);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

ConnectedDevice::ConnectedDevice(virtualprinter::Scenario scenario, bool open)
    : backend(std::move(scenario)),
      traced(backend, [this](const TraceEvent& event) { events.push_back(event); }),
      device(traced),
      info(device) {
  if (open) {
    // A fixture whose printer does not open shows it in the first request of its test.
    (void)device.link().open();
    device.link().drain();
    events.clear();
  }
}

std::vector<std::size_t> ConnectedDevice::writeSizes() const {
  std::vector<std::size_t> sizes;
  for (const TraceEvent& event : events) {
    if (event.kind == TraceEvent::Kind::write) sizes.push_back(event.bytes.size());
  }
  return sizes;
}

std::vector<std::size_t> ConnectedDevice::readSizes() const {
  std::vector<std::size_t> sizes;
  for (const TraceEvent& event : events) {
    if (event.kind == TraceEvent::Kind::read) sizes.push_back(event.bytes.size());
  }
  return sizes;
}

std::vector<std::uint16_t> ConnectedDevice::commands() {
  std::vector<std::uint16_t> out;
  for (const auto& request : printer().requests()) out.push_back(request.command);
  return out;
}

std::string sourcePath(const std::string& relative) { return std::string(KESTRAVA_SOURCE_DIR) + "/" + relative; }

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string hex(const std::string& bytes) {
  std::string out;
  char digits[4];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", c);
    out += digits;
  }
  return out;
}

}  // namespace kestrava::testing
