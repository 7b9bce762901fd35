#include "run/silence_reason.h"

namespace kestrava {

std::string silenceReason(const RunRecord& record, const std::string& where) {
  if (record.bytesReceived == 0) {
    return "the printer answered none of Kestrava's requests: is it switched on and awake, and is it a printer of "
           "this family?";
  }
  return "nothing that answered on " + where + " speaks the printer's protocol (" +
         std::to_string(record.bytesReceived) +
         " bytes came, none of them a reply to a request): check that this is a printer of vendor 0x232B";
}

}  // namespace kestrava
