#include "app/cli/help_format.h"

#include <sstream>

namespace kestrava {

std::string wrapWords(const std::string& text, std::size_t indent, std::size_t width) {
  std::string out;
  std::istringstream paragraphs(text);
  std::string paragraph;
  while (std::getline(paragraphs, paragraph)) {
    // Blanks at the start of a line are kept: they lay out examples.
    std::size_t lead = paragraph.find_first_not_of(' ');
    if (lead == std::string::npos) {
      out += '\n';
      continue;
    }
    std::string prefix(indent + lead, ' ');
    // A line that fits stays as written, with the blanks that align its columns.
    if (indent + paragraph.size() <= width) {
      out += std::string(indent, ' ') + paragraph + '\n';
      continue;
    }
    std::string line = prefix;
    std::istringstream words(paragraph.substr(lead));
    std::string word;
    while (words >> word) {
      if (line.size() > prefix.size() && line.size() + 1 + word.size() > width) {
        out += line + '\n';
        line = prefix;
      }
      if (line.size() > prefix.size()) line += ' ';
      line += word;
    }
    out += line + '\n';
  }
  return out;
}

std::string HelpFormat::make_option(const CLI::Option* option, bool positional) const {
  return "  " + make_option_name(option, positional) + make_option_opts(option) + "\n" +
         wrapWords(make_option_desc(option), 6, kWidth);
}

std::string HelpFormat::make_description(const CLI::App* app) const {
  return wrapWords(app->get_description(), 0, kWidth) + "\n";
}

std::string HelpFormat::make_footer(const CLI::App* app) const {
  std::string footer = app->get_footer();
  return footer.empty() ? std::string() : wrapWords(footer, 0, kWidth);
}

}  // namespace kestrava
