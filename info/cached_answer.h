// The one pattern of every cached getter: a kept answer is handed out without I/O (also
// after the link was closed); otherwise the printer is asked, and only a success is kept.
// A failure leaves the kept value and its flag as they were, so a later call asks again.
#pragma once

#include <utility>

#include "device/result_code.h"
#include "info/printer_info.h"

namespace kestrava {

template <typename Value, typename Fetch>
ResultCode cachedAnswer(Value& kept, bool& cached, Value& out, Fetch fetch) {
  if (!cached) {
    Value scratch{};
    ResultCode result = fetch(scratch);
    if (failed(result)) return result;
    kept = std::move(scratch);
    cached = true;
  }
  out = kept;
  return ResultCode::noError;
}

template <typename Value, typename Fetch>
ResultCode cachedAnswer(KeptAnswer<Value>& answer, Value& out, Fetch fetch) {
  return cachedAnswer(answer.value, answer.kept, out, fetch);
}

}  // namespace kestrava
