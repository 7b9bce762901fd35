// The program's version has one source, the project's version in CMakeLists.txt, which the
// build hands on as KESTRAVA_VERSION_TEXT. The pages written by hand that name it (the man
// pages' headers, the package's changelog, the README's file names and samples, the JSON
// page's samples) must name the same.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "base/version.h"
#include "test_support.h"

namespace kestrava {
namespace {

TEST(Version, EveryPageNamesTheBuildsVersion) {
  // Where a page names the program's version; (V) is the version.
  const char* const places[] = {
      R"x((?:^|\n)\.TH [-A-Z]+ 1 [-0-9]+ "Kestrava (V)")x",  // a man page's header
      R"x(^kestrava \((V)\))x",                              // the changelog's last entry (its first line)
      R"x(kestrava(?:-cli)?_(V)_amd64\.deb)x",               // the packages
      R"x(Kestrava-(V)-win32\.zip)x",                        // the Windows zip
      R"x(ProgID: (V))x",                                    // the report's last line
      R"x("toolVersion": ?"(V)")x",                          // kestrava-cli's JSON
      R"x(the version of `CMakeLists.txt` \((V)\))x",
  };
  struct Page {
    const char* name;
    int places;  // how many times it names the version, at least
  };
  const Page pages[] = {
      {"packaging/man/kestrava-cli.1", 1},
      {"packaging/man/kestrava.1", 1},
      {"packaging/man/kestrava-virtual-printer.1", 1},
      {"packaging/debian/changelog", 1},
      {"README.md", 5},
      {"docs/json.md", 4},
  };
  const std::string version = "[0-9]+(?:\\.[0-9]+){3}";
  for (const Page& page : pages) {
    SCOPED_TRACE(page.name);
    const std::string text = testing::fileText(testing::sourcePath(page.name));
    int found = 0;
    for (std::string place : places) {
      place.replace(place.find("(V)"), 3, "(" + version + ")");
      const std::regex pattern(place);
      for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        EXPECT_EQ((*it)[1].str(), KESTRAVA_VERSION_TEXT) << (*it)[0];
        ++found;
      }
    }
    EXPECT_GE(found, page.places);
  }
}

}  // namespace
}  // namespace kestrava
