// The layering of src/: the animator (winding) sits on the portable screen
// runtime (screen), the platform (app) on the screen runtime; only the
// process's start (app/main) names the animator it runs. A module (a header
// with its source) includes only modules of its own layer or below, and no
// module includes one that includes it back, directly or round a circle.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace ws::test {
namespace {

namespace fs = std::filesystem;

// Module name ("screen/text") -> the modules its files include.
using Graph = std::map<std::string, std::set<std::string>>;

Graph read_includes() {
  Graph g;
  const fs::path src = fs::path(WS_SOURCE_DIR) / "src";
  const std::regex include_line(R"(^\s*#\s*include\s*"([a-z_]+/[a-z0-9_]+)\.h")");
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const fs::path& p = entry.path();
    if (p.extension() != ".h" && p.extension() != ".cpp") continue;
    const std::string module =
        fs::relative(p, src).replace_extension().generic_string();
    auto& deps = g[module];
    std::ifstream in(p);
    for (std::string line; std::getline(in, line);) {
      std::smatch m;
      if (std::regex_search(line, m, include_line) && m[1] != module) deps.insert(m[1]);
    }
  }
  return g;
}

std::string layer(const std::string& module) { return module.substr(0, module.find('/')); }

TEST(IncludeRules, NoModuleIncludesALayerAboveIt) {
  // What each layer may include besides itself; the window side runs any
  // procedure it is handed, and main hands it the animator.
  const std::map<std::string, std::set<std::string>> allowed = {
      {"screen", {}},
      {"winding", {"screen"}},
      {"app", {"screen"}},
      {"app/main", {"screen", "winding"}},
  };
  const Graph g = read_includes();
  ASSERT_GT(g.size(), 20u) << "the sources were not found under " << WS_SOURCE_DIR;
  for (const auto& [module, deps] : g) {
    auto rule = allowed.find(module);
    if (rule == allowed.end()) rule = allowed.find(layer(module));
    ASSERT_NE(rule, allowed.end()) << "a module outside the known layers: " << module;
    for (const std::string& d : deps)
      EXPECT_TRUE(layer(d) == layer(module) || rule->second.count(layer(d)) != 0)
          << module << " includes " << d;
  }
}

TEST(IncludeRules, NoModuleIncludesOneThatIncludesItBack) {
  const Graph g = read_includes();
  // Depth-first search; a module met again while on the path closes a circle.
  std::map<std::string, int> state;  // 0 unseen, 1 on the path, 2 done
  std::vector<std::string> path;
  std::vector<std::string> circles;
  std::function<void(const std::string&)> visit = [&](const std::string& m) {
    state[m] = 1;
    path.push_back(m);
    if (const auto it = g.find(m); it != g.end()) {
      for (const std::string& d : it->second) {
        if (state[d] == 1) {
          std::string circle;
          for (auto at = std::find(path.begin(), path.end(), d); at != path.end(); ++at)
            circle += *at + " -> ";
          circles.push_back(circle + d);
        } else if (state[d] == 0) {
          visit(d);
        }
      }
    }
    path.pop_back();
    state[m] = 2;
  };
  for (const auto& [module, deps] : g)
    if (state[module] == 0) visit(module);
  for (const std::string& c : circles) ADD_FAILURE() << c;
}

}  // namespace
}  // namespace ws::test
