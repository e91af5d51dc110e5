// Which display the program's own connections open, read from the command
// line the way the window library reads it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/display_name.h"

namespace ws::test {
namespace {

TEST(DisplayName, TheLastDisplayOptionNamesItWhereverItStands) {
  struct Case {
    const char* what;
    std::vector<const char*> args;  // after the program's name
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"no arguments", {}, std::nullopt},
      {"other options only", {"-geometry", "10x10", "-iconic"}, std::nullopt},
      {"the option", {"-display", ":3"}, ":3"},
      {"after other options", {"-geometry", "10x10", "-display", "host:1.0"}, "host:1.0"},
      {"after a plain argument", {"word", "-display", ":4"}, ":4"},
      {"given twice: the last", {"-display", ":1", "-display", ":2"}, ":2"},
      {"its argument taken whatever it is", {"-display", "-display", ":5"}, "-display"},
      {"after a double dash all the same", {"--", "-display", ":6"}, ":6"},
      {"without its argument", {"-display"}, std::nullopt},
      {"a look-alike", {"-display=:7", "--display", ":8", "-Display", ":9"}, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"-display"};  // argv[0]: never read as an option
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(display_named_on_command_line(static_cast<int>(argv.size()), argv.data()), c.name)
        << c.what;
  }
}

}  // namespace
}  // namespace ws::test
