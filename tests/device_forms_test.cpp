// The forms of --device are one table: the parser takes each form's example and names
// every form when it takes none; the bash completion and the documents follow the table.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "app/device_selection.h"
#include "test_support.h"

namespace kestrava {
namespace {

// A man page as a reader sees it: rendered, without the overstrikes of bold and underline.
std::string renderedPage(const std::string& page) {
  std::string text;
  FILE* pipe = ::popen(("mandoc -T ascii '" + page + "' 2>&1").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  while (std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, count);
  if (::pclose(pipe) != 0) ADD_FAILURE() << "mandoc could not render " << page << " (is mandoc installed?): " << text;
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size() && text[i + 1] == '\b') {
      ++i;  // the letter after the backspace is the one shown
      continue;
    }
    plain.push_back(text[i]);
  }
  return plain;
}

// Runs the test in the source tree, where the examples' files are.
class InSourceTree {
 public:
  InSourceTree() : before_(std::filesystem::current_path()) { std::filesystem::current_path(testing::sourcePath("")); }
  ~InSourceTree() { std::filesystem::current_path(before_); }

 private:
  std::filesystem::path before_;
};

bool isFormOf(const DeviceForm& form, const std::string& argument) {
  return form.whole ? argument == form.prefix : argument.starts_with(form.prefix);
}

TEST(DeviceForms, EveryExampleIsTakenByItsOwnForm) {
  InSourceTree here;
  ASSERT_GE(deviceForms().size(), 6u);
  EXPECT_EQ(deviceForms().front().form, "usb");  // the default
  for (const DeviceForm& form : deviceForms()) {
    SCOPED_TRACE(form.form);
    EXPECT_FALSE(form.meaning.empty());
    EXPECT_EQ(form.meaning.find('\n'), std::string_view::npos);
    const std::string example(form.example);
    // No earlier row takes another form's example.
    for (const DeviceForm& other : deviceForms()) {
      EXPECT_EQ(isFormOf(other, example), &other == &form) << other.form;
    }
    std::string error;
    EXPECT_TRUE(makeBackendSource(example, error)) << error;
    EXPECT_EQ(error, "");
  }
}

TEST(DeviceForms, AnArgumentOfNoFormNamesEveryForm) {
  for (const char* argument : {"nowhere", "usb2", "serial:COM1", "virtualx", "tcp:/127.0.0.1:9100/x"}) {
    SCOPED_TRACE(argument);
    std::string error;
    EXPECT_FALSE(makeBackendSource(argument, error));
    EXPECT_EQ(error,
              "unknown device \"" + std::string(argument) +
                  "\" (expected usb, usb:PATH, tcp://HOST:PORT/PATH, virtual, virtual:FILE.json[,FILE.json...] or "
                  "replay:TRACE)");
  }
  std::string help = deviceOptionHelp();
  for (const DeviceForm& form : deviceForms()) {
    EXPECT_NE(help.find(form.form), std::string::npos) << form.form;
    EXPECT_NE(kDeviceForms.find(form.form), std::string::npos) << form.form;
  }
}

// The completion is a shell file installed as it is: it must offer what the table has.
TEST(DeviceForms, TheBashCompletionOffersEveryForm) {
  const std::string completion = testing::fileText(testing::sourcePath("packaging/linux/kestrava-cli.bash-completion"));
  std::smatch offered;
  ASSERT_TRUE(std::regex_search(completion, offered, std::regex(R"(\*\) candidates=\(([^)]*)\) ;;)")));
  std::istringstream words(offered[1].str());
  std::set<std::string> candidates{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
  std::set<std::string> prefixes;
  for (const DeviceForm& form : deviceForms()) {
    SCOPED_TRACE(form.form);
    prefixes.insert(std::string(form.prefix));
    // The arm of the case that completes what follows the prefix.
    const std::regex arm("\n *([^\n]*[ |])?" +
                         std::regex_replace(std::string(form.prefix), std::regex(R"([.*+?/])"), "\\$&") +
                         R"(\*( \|[^\n]*)?\)\n([\s\S]*?);;)");
    std::smatch found;
    const bool hasArm = std::regex_search(completion, found, arm);
    switch (form.completion) {
      case DeviceCompletion::nothing: EXPECT_FALSE(hasArm); break;
      case DeviceCompletion::files:
        ASSERT_TRUE(hasArm);
        EXPECT_NE(found[3].str().find("compgen -f"), std::string::npos) << found[0];
        break;
      case DeviceCompletion::interfacePaths:
        ASSERT_TRUE(hasArm);
        EXPECT_NE(found[3].str().find("--list"), std::string::npos) << found[0];
        break;
    }
  }
  EXPECT_EQ(candidates, prefixes);
}

// Every page that lists the forms names each as the table writes it, and no page names
// a form of a kind the table does not have ("serial:PORT", "--device lpt:1").
TEST(DeviceForms, TheDocumentsNameEveryFormAndNoOther) {
  struct Document {
    std::string name;
    bool listsForms;
  };
  const Document documents[] = {
      {"packaging/man/kestrava-cli.1", true},
      {"packaging/man/kestrava.1", true},
      {"packaging/man/kestrava-virtual-printer.1", false},
      {"README.md", true},
      {"packaging/windows/README.txt", true},
  };
  auto known = [](const std::string& argument) {
    for (const DeviceForm& form : deviceForms()) {
      if (isFormOf(form, argument)) return true;
    }
    return false;
  };
  for (const Document& document : documents) {
    SCOPED_TRACE(document.name);
    const std::string path = testing::sourcePath(document.name);
    const std::string text = document.name.ends_with(".1") ? renderedPage(path) : testing::fileText(path);
    ASSERT_FALSE(text.empty());
    if (document.listsForms) {
      for (const DeviceForm& form : deviceForms()) {
        EXPECT_NE(text.find(form.form), std::string::npos) << "does not name " << form.form;
      }
    }
    // A form written with its placeholders: "usb:PATH", "tcp://HOST:PORT/PATH".
    const std::regex written(R"(\b([a-z]+:(//)?)[A-Z])");
    for (std::sregex_iterator it(text.begin(), text.end(), written), end; it != end; ++it) {
      EXPECT_TRUE(known((*it)[1].str())) << "names a form the table does not have: " << (*it)[0];
    }
    // What examples hand to --device, by its prefix.
    const std::regex handed(R"(--device[ =]['"]?([a-z]+:(//)?))");
    for (std::sregex_iterator it(text.begin(), text.end(), handed), end; it != end; ++it) {
      EXPECT_TRUE(known((*it)[1].str())) << "hands --device a form the table does not have: " << (*it)[0];
    }
  }
}

}  // namespace
}  // namespace kestrava
