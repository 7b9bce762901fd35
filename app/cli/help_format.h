// kestrava-cli's --help laid out for an 80-column terminal: each option on a line of its
// own with its description below, every text broken between words, never inside one.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace kestrava {

// `text` broken into lines of at most `width` characters, each indented by `indent`
// blanks; a line feed in `text` starts a new line, a word longer than the line stands alone.
std::string wrapWords(const std::string& text, std::size_t indent, std::size_t width);

class HelpFormat : public CLI::Formatter {
 public:
  static constexpr std::size_t kWidth = 79;
  std::string make_option(const CLI::Option* option, bool positional) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_footer(const CLI::App* app) const override;
};

}  // namespace kestrava
