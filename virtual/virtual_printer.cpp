#include "virtual/virtual_printer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "device/acl_command_block.h"

namespace kestrava::virtualprinter {

namespace {

constexpr char kPrefix[] = "\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n";
constexpr std::size_t kPrefixLength = 34;
constexpr std::size_t kUelLength = 9;
constexpr std::size_t kBlockLength = 16;

// "<!--#ssi 0 NAME.index -->" -> "NAME.index"; empty when the request is malformed.
std::string oidKey(const std::string& request) {
  static const std::string head = "<!--#ssi 0 ";
  static const std::string tail = " -->";
  if (request.size() <= head.size() + tail.size() || request.compare(0, head.size(), head) != 0 ||
      request.compare(request.size() - tail.size(), tail.size(), tail) != 0) {
    return {};
  }
  std::string key = request.substr(head.size(), request.size() - head.size() - tail.size());
  std::size_t dot = key.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == key.size()) return {};
  for (std::size_t i = dot + 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return {};
  }
  if (key.find(' ') != std::string::npos) return {};
  return key;
}

}  // namespace

VirtualPrinter::VirtualPrinter(Scenario scenario)
    : scenario_(std::move(scenario)), faultUses_(scenario_.faults.size(), 0) {}

VirtualPrinter::Transfer VirtualPrinter::Transfer::of(std::string bytes) {
  Transfer transfer;
  transfer.length = bytes.size();
  transfer.owned = std::move(bytes);
  return transfer;
}

VirtualPrinter::Transfer VirtualPrinter::Transfer::view(const std::string& bytes, std::uint64_t length) {
  Transfer transfer;
  transfer.shared = &bytes;
  transfer.length = std::min<std::uint64_t>(length, bytes.size());
  return transfer;
}

void VirtualPrinter::connect() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++session_;
  sessionRequests_ = 0;
  lost_ = false;
  input_.clear();
  output_.clear();
  if (!scenario_.staleBytes.empty())
    output_.push_back(Transfer::view(scenario_.staleBytes, scenario_.staleBytes.size()));
}

bool VirtualPrinter::receive(const std::uint8_t* data, std::size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lost_ && scenario_.disconnectAfter && sessionRequests_ >= *scenario_.disconnectAfter) {
    lost_ = true;
    output_.clear();
  }
  if (lost_) return false;
  input_.append(reinterpret_cast<const char*>(data), count);
  parse();
  return true;
}

ReadOutcome VirtualPrinter::take(std::size_t wanted, std::string& out) {
  std::uint64_t due = 0;
  return take(wanted, out, kNever - 1, due);
}

ReadOutcome VirtualPrinter::take(std::size_t wanted, std::string& out, std::uint64_t nowMs, std::uint64_t& dueMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  out.clear();
  dueMs = kNever;
  if (output_.empty()) return lost_ ? ReadOutcome::lost : ReadOutcome::nothing;
  Transfer& front = output_.front();
  if (front.dueMs > nowMs || (front.pieceBytes != 0 && nowMs == kNever - 1)) {
    if (front.pieceBytes == 0 || nowMs != kNever - 1) dueMs = front.dueMs;
    return ReadOutcome::nothing;
  }
  std::uint64_t count = std::min<std::uint64_t>(wanted, front.length - front.taken);
  if (front.pieceBytes != 0) count = std::min(count, front.pieceLeft);
  if (front.shared) {
    out.assign(*front.shared, static_cast<std::size_t>(front.taken), static_cast<std::size_t>(count));
  } else if (front.pieceBytes != 0) {
    out.assign(static_cast<std::size_t>(count), '\xA5');
  } else {
    out.assign(front.owned, static_cast<std::size_t>(front.taken), static_cast<std::size_t>(count));
  }
  front.taken += count;
  if (front.pieceBytes != 0) {
    front.pieceLeft -= count;
    if (front.pieceLeft == 0) {
      front.pieceLeft = front.pieceBytes;
      front.dueMs = nowMs + front.pieceMs;
    }
  }
  if (front.taken == front.length) output_.pop_front();
  return ReadOutcome::data;
}

void VirtualPrinter::hostGaveUp(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!output_.empty() && output_.front().dueMs == kNever && output_.front().pieceBytes == 0) {
    Transfer& front = output_.front();
    front.dueMs = nowMs + front.lateMs;
  }
}

void VirtualPrinter::assumeHostTimeout(std::uint32_t timeoutMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  assumedHostTimeoutMs_ = timeoutMs;
}

std::uint64_t VirtualPrinter::clockMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clockMs_;
}

void VirtualPrinter::advanceClock(std::uint64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  clockMs_ += ms;
}

bool VirtualPrinter::lost() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lost_;
}

unsigned VirtualPrinter::sessions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_;
}

std::vector<ReceivedRequest> VirtualPrinter::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

std::size_t VirtualPrinter::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requestCount_;
}

std::vector<std::string> VirtualPrinter::protocolErrors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return protocolErrors_;
}

void VirtualPrinter::protocolError(const std::string& what) {
  protocolErrors_.push_back(what);
  input_.clear();
}

void VirtualPrinter::parse() {
  while (!input_.empty()) {
    std::size_t check = std::min(input_.size(), kPrefixLength);
    if (input_.compare(0, check, kPrefix, check) != 0) {
      protocolError("bytes before the PJL language switch");
      return;
    }
    if (input_.size() < kPrefixLength + kBlockLength) return;

    const auto* block = reinterpret_cast<const std::uint8_t*>(input_.data() + kPrefixLength);
    if (block[0] != 0x00 || block[1] != 0xAC) {
      protocolError("command block does not start with 00 AC");
      return;
    }
    for (std::size_t i = 6; i < kBlockLength; ++i) {
      if (block[i] != 0) {
        protocolError("command block bytes 6 to 15 are not zero");
        return;
      }
    }
    std::uint16_t command = static_cast<std::uint16_t>(block[2] << 8 | block[3]);
    std::size_t dataLength = static_cast<std::size_t>(block[4] << 8 | block[5]);
    std::size_t total = kPrefixLength + kBlockLength + dataLength + kUelLength;
    if (input_.size() < total) {
      return;
    }
    if (input_.compare(total - kUelLength, kUelLength, kPrefix, kUelLength) != 0) {
      protocolError("request not closed by the UEL after its announced data");
      return;
    }
    std::string data = input_.substr(kPrefixLength + kBlockLength, dataLength);
    input_.erase(0, total);
    answer(command, data);
    if (lost_) return;
  }
}

const Fault* VirtualPrinter::faultFor(std::uint16_t command, const std::string& target) {
  for (std::size_t i = 0; i < scenario_.faults.size(); ++i) {
    const Fault& fault = scenario_.faults[i];
    if (fault.request != 0 && fault.request != sessionRequests_) continue;
    if (fault.command && *fault.command != command) continue;
    if (!fault.target.empty() && fault.target != target) continue;
    if (fault.times >= 0 && faultUses_[i] >= fault.times) continue;
    ++faultUses_[i];
    return &fault;
  }
  return nullptr;
}

void VirtualPrinter::answer(std::uint16_t command, const std::string& data) {
  ++sessionRequests_;
  // A new request ends a trickle: the printer gives up the file it was still sending.
  std::erase_if(output_, [](const Transfer& transfer) { return transfer.pieceBytes != 0; });
  if (requests_.size() == kRequestLogLimit) requests_.pop_front();
  requests_.push_back({session_, sessionRequests_, command, data});
  ++requestCount_;

  std::string target;
  if (command == aclcmd::oidQuery) target = oidKey(data);
  if (command == aclcmd::fileRead) target = data;
  const Fault* fault = faultFor(command, target);
  if (fault && fault->kind == FaultKind::disconnect) {
    lost_ = true;
    output_.clear();
    return;
  }
  if (fault && fault->kind == FaultKind::noReply) return;

  std::uint8_t field[10] = {};
  Transfer dataPhase;
  std::uint16_t status = 1;
  auto be16 = [&field](std::size_t length) {
    field[0] = static_cast<std::uint8_t>(length >> 8);
    field[1] = static_cast<std::uint8_t>(length);
  };
  // A text answered in a data phase, its length in bytes 6 and 7; status 0 where the
  // printer has none.
  auto textPhase = [&](const std::optional<std::string>& text) {
    if (!text) {
      status = 0;
      return false;
    }
    dataPhase = Transfer::view(*text, 0xFFFF);
    be16(static_cast<std::size_t>(dataPhase.length));
    return true;
  };

  switch (command) {
    case aclcmd::firmwareVersion:
      if (scenario_.firmwareVersion) {
        std::memcpy(field, scenario_.firmwareVersion->data(),
                    std::min<std::size_t>(scenario_.firmwareVersion->size(), sizeof field));
      } else {
        status = 0;
      }
      break;
    case aclcmd::buildInfo: textPhase(scenario_.buildInfo); break;
    case aclcmd::serialNumber:
      if (textPhase(scenario_.serialNumber) && scenario_.serialLengthSwapped) std::swap(field[0], field[1]);
      break;
    case aclcmd::ramSize:
      if (scenario_.ramSizeMb) {
        field[0] = static_cast<std::uint8_t>(*scenario_.ramSizeMb);  // little-endian
        field[1] = static_cast<std::uint8_t>(*scenario_.ramSizeMb >> 8);
      } else {
        status = 0;
      }
      break;
    case aclcmd::oidQuery: {
      if (target.empty()) {
        protocolErrors_.push_back("malformed OID request: " + data);
        status = 2;
        break;
      }
      // An OID the printer does not know: status 0, nothing follows.
      auto found = scenario_.oids.find(target);
      if (found == scenario_.oids.end()) {
        status = 0;
      } else {
        dataPhase = Transfer::view(found->second, 0xFFFF);
        be16(static_cast<std::size_t>(dataPhase.length));
      }
      break;
    }
    case aclcmd::fileRead: {
      auto found = scenario_.files.find(data);
      if (found == scenario_.files.end()) {
        status = 0;
      } else {
        dataPhase = Transfer::view(found->second, found->second.size());
        std::uint32_t size = static_cast<std::uint32_t>(dataPhase.length);
        field[0] = static_cast<std::uint8_t>(size >> 24);
        field[1] = static_cast<std::uint8_t>(size >> 16);
        field[2] = static_cast<std::uint8_t>(size >> 8);
        field[3] = static_cast<std::uint8_t>(size);
      }
      break;
    }
    default:
      protocolErrors_.push_back("unknown command");
      status = 2;
      break;
  }
  if (status != 1) dataPhase = Transfer();
  queueReply(command, status, field, sizeof field, std::move(dataPhase), fault);
}

void VirtualPrinter::queueReply(std::uint16_t command, std::uint16_t status, const std::uint8_t* answer,
                                std::size_t answerLength, Transfer data, const Fault* fault) {
  std::string reply(kBlockLength, '\0');
  reply[1] = static_cast<char>(0xAC);
  std::uint16_t echo = command;
  auto noData = [&data]() { data = Transfer(); };
  std::size_t replyLength = kBlockLength;
  std::memcpy(reply.data() + 6, answer, std::min<std::size_t>(answerLength, 10));

  if (fault) {
    switch (fault->kind) {
      case FaultKind::status0:
        status = 0;
        if (command != aclcmd::oidQuery) noData();
        break;
      case FaultKind::badStatus:
        status = fault->status;
        noData();
        break;
      case FaultKind::wrongEcho:
        echo = static_cast<std::uint16_t>(command ^ 0x0100);
        noData();
        break;
      case FaultKind::shortReply:
        replyLength = 8;
        noData();
        break;
      case FaultKind::shortData: data.length /= 2; break;
      case FaultKind::hugeLength:
        reply[6] = reply[7] = static_cast<char>(0xFF);
        noData();
        break;
      case FaultKind::hugeFileSize:
        reply[6] = reply[7] = reply[8] = reply[9] = static_cast<char>(0xFF);
        noData();
        break;
      case FaultKind::trickle:
        if (command == aclcmd::fileRead) {
          // 64 MiB, the most a host takes: at 5120 bytes every 4.5 s, sixteen hours.
          reply[6] = static_cast<char>(kMaxAnswerBytes >> 24);
          reply[7] = static_cast<char>(kMaxAnswerBytes >> 16);
          reply[8] = static_cast<char>(kMaxAnswerBytes >> 8);
          reply[9] = static_cast<char>(kMaxAnswerBytes);
          status = 1;
          data = Transfer();
          data.length = kMaxAnswerBytes;
          data.pieceBytes = data.pieceLeft = fault->pieceBytes;
          data.pieceMs = fault->delayMs;
          data.dueMs = clockMs_ + fault->delayMs;
        }
        break;
      case FaultKind::splitReply:
      case FaultKind::splitData:
      case FaultKind::lateReply:
      case FaultKind::noReply:
      case FaultKind::disconnect: break;
    }
  }
  reply[2] = static_cast<char>(echo >> 8);
  reply[3] = static_cast<char>(echo);
  reply[4] = static_cast<char>(status >> 8);
  reply[5] = static_cast<char>(status);
  reply.resize(replyLength);
  if (fault && fault->kind == FaultKind::lateReply) {
    // The reply and its data phase in one transfer, held until the host gives up on it.
    std::string whole = reply;
    if (data.length != 0)
      whole.append(data.shared ? *data.shared : data.owned, 0, static_cast<std::size_t>(data.length));
    Transfer late = Transfer::of(std::move(whole));
    late.lateMs = fault->delayMs;
    late.dueMs = assumedHostTimeoutMs_ != 0 ? clockMs_ + assumedHostTimeoutMs_ + fault->delayMs : kNever;
    output_.push_back(std::move(late));
    return;
  }
  if (fault && fault->kind == FaultKind::splitReply) {
    // A reply cut in two: the rest of the block and the data phase come `delayMs` later.
    const std::size_t first = std::min<std::size_t>(fault->pieceBytes, reply.size());
    Transfer rest = Transfer::of(reply.substr(first));
    reply.resize(first);
    rest.dueMs = data.dueMs = clockMs_ + fault->delayMs;
    output_.push_back(Transfer::of(std::move(reply)));
    if (rest.length != 0) output_.push_back(std::move(rest));
    if (data.length != 0) output_.push_back(std::move(data));
    return;
  }
  output_.push_back(Transfer::of(std::move(reply)));
  if (fault && fault->kind == FaultKind::splitData && data.length > 1) {
    // The data phase cut in two: its second half comes `delayMs` after the first.
    Transfer rest = data;
    data.length /= 2;
    rest.taken = data.length;
    rest.dueMs = clockMs_ + fault->delayMs;
    output_.push_back(std::move(data));
    output_.push_back(std::move(rest));
    return;
  }
  if (data.length != 0) output_.push_back(std::move(data));
}

}  // namespace kestrava::virtualprinter
