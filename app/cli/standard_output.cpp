#include "app/cli/standard_output.h"

#ifdef _WIN32

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

namespace kestrava {

namespace {

// Writes what the program prints with every line ended by one "\r\n": a lone "\n"
// gets its "\r", a "\r\n" stays as it is. Into a file or a pipe the bytes go through the
// C run-time's stream, now in binary mode, so a failed write still sets errno there; on a
// console they go as UTF-16 text through WriteConsoleW, a line at a time.
class LineEndBuffer : public std::streambuf {
 public:
  LineEndBuffer(std::streambuf* inner, HANDLE console) : inner_(inner), console_(console) {}
  ~LineEndBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    char ch = traits_type::to_char_type(c);
    if (ch == '\n' && !lastWasCr_ && !put('\r')) return traits_type::eof();
    lastWasCr_ = ch == '\r';
    if (!put(ch)) return traits_type::eof();
    if (console_ && ch == '\n' && !flushConsole()) return traits_type::eof();
    return c;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    for (std::streamsize i = 0; i < count; ++i) {
      if (traits_type::eq_int_type(overflow(traits_type::to_int_type(text[i])), traits_type::eof())) return i;
    }
    return count;
  }

  int sync() override {
    if (console_) return flushConsole() ? 0 : -1;
    return inner_->pubsync();
  }

 private:
  bool put(char ch) {
    if (console_) {
      pending_ += ch;
      return true;
    }
    return !traits_type::eq_int_type(inner_->sputc(ch), traits_type::eof());
  }

  // Writes the complete UTF-8 sequences held so far; an incomplete one at the end waits
  // for its remaining bytes.
  bool flushConsole() {
    std::size_t complete = pending_.size();
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      unsigned char byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (length > back) complete = pending_.size() - back;
      break;
    }
    if (complete == 0) return true;
    int units = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(complete), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(complete), wide.data(), units);
    pending_.erase(0, complete);
    const wchar_t* at = wide.data();
    std::size_t left = wide.size();
    while (left > 0) {
      DWORD written = 0;
      DWORD chunk = left > 8192 ? 8192 : static_cast<DWORD>(left);
      if (!WriteConsoleW(console_, at, chunk, &written, nullptr) || written == 0) return false;
      at += written;
      left -= written;
    }
    return true;
  }

  std::streambuf* inner_;
  HANDLE console_;  // null: a file or a pipe
  std::string pending_;
  bool lastWasCr_ = false;
};

HANDLE consoleOf(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

void setUp(std::FILE* file, std::ostream& stream, DWORD which) {
  std::fflush(file);
  _setmode(_fileno(file), _O_BINARY);
  // Lives as long as the program: the stream writes through it until the very end.
  static LineEndBuffer* buffers[2] = {nullptr, nullptr};
  LineEndBuffer*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
  buffer = new LineEndBuffer(stream.rdbuf(), consoleOf(which));
  stream.rdbuf(buffer);
}

}  // namespace

void setUpStandardOutput() {
  setUp(stdout, std::cout, STD_OUTPUT_HANDLE);
  setUp(stderr, std::cerr, STD_ERROR_HANDLE);
}

}  // namespace kestrava

#else

namespace kestrava {

void setUpStandardOutput() {}

}  // namespace kestrava

#endif
