#pragma once
// The command line of the solver examples (poisson, heat, poisson_mpi): one
// reader, so that an option means the same in each, and in
// examples/options.py. Options are
// "--name" followed by a fixed number of values. A line that names an unknown
// option, misses a value, gives an option twice, or pairs options that
// exclude each other is refused by a `Refusal` whose what() is one line
// naming the options at fault; --help asks for the usage.
#include <malha/malha.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace options {

struct Refusal : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

struct Option {
  std::string name;  // "--level"
  int values;        // how many values follow it
};

// The options every solver example takes besides its own.
inline const std::vector<Option> kMeshOptions = {
    {"--level", 1},   {"--cells", 2},     {"--pattern", 1}, {"--grading", 2},
    {"--two-sided", 0}, {"--lengths", 2}, {"--scheme", 1}};

class Reader {
 public:
  // With `passes_others`, the arguments that do not begin with "--" belong
  // to another reader (the solver library's options, each name with its
  // values) and are passed over; without, each is an unknown option.
  Reader(int argc, char** argv, std::vector<Option> known, bool passes_others = false) {
    known.push_back({"--help", 0});
    for (int a = 1; a < argc; ++a) {
      const std::string name = argv[a];
      if (passes_others && name.rfind("--", 0) != 0) continue;
      const auto option = std::find_if(known.begin(), known.end(),
                                       [&](const Option& o) { return o.name == name; });
      if (option == known.end()) throw Refusal("unknown option " + name);
      if (given(name)) throw Refusal(name + " given twice");
      if (a + option->values >= argc) {
        throw Refusal(name + " needs " + std::to_string(option->values) + " value(s)");
      }
      std::vector<std::string>& values = given_[name];
      for (int k = 0; k < option->values; ++k) values.emplace_back(argv[++a]);
    }
  }

  bool given(const std::string& name) const { return given_.count(name) != 0; }

  std::string text(const std::string& name, const std::string& fallback = "") const {
    return given(name) ? given_.at(name)[0] : fallback;
  }

  double number(const std::string& name, double fallback, int index = 0) const {
    if (!given(name)) return fallback;
    const std::string& text = given_.at(name)[static_cast<std::size_t>(index)];
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') throw Refusal(name + ": not a number: " + text);
    return value;
  }

  long long whole(const std::string& name, long long fallback, long long least,
                  int index = 0) const {
    const double value = number(name, static_cast<double>(fallback), index);
    if (value != std::floor(value) || value < static_cast<double>(least) || value > 1e15) {
      throw Refusal(name + ": not a whole number from " + std::to_string(least) + ": " +
                    given_.at(name)[static_cast<std::size_t>(index)]);
    }
    return static_cast<long long>(value);
  }

  std::string choice(const std::string& name, std::initializer_list<const char*> choices) const {
    if (!given(name)) return *choices.begin();
    const std::string& value = given_.at(name)[0];
    for (const char* c : choices) {
      if (value == c) return value;
    }
    throw Refusal(name + ": " + value + " is none of its choices");
  }

  // Refuses `a` and `b` together.
  void exclude(const std::string& a, const std::string& b) const {
    if (given(a) && given(b)) throw Refusal(a + " and " + b + " exclude each other");
  }

  // Refuses `name` without `needed`.
  void require(const std::string& name, const std::string& needed) const {
    if (given(name) && !given(needed)) throw Refusal(name + ": only with " + needed);
  }

 private:
  std::map<std::string, std::vector<std::string>> given_;
};

// The mesh a run solves on: a level's, or a lattice of cells_x x cells_y,
// of equal cells or graded: along x the last cell ratio_x times the first
// (malha::graded_lines), or with two_sided the middle cell ratio_x times
// the end ones (malha::two_sided_lines); along y alike.
struct MeshChoice {
  long long level = 0;
  bool is_lattice = false;
  long long cells_x = 0;
  long long cells_y = 0;
  malha::LatticePattern pattern = malha::LatticePattern::crossed;
  bool is_graded = false;
  bool two_sided = false;
  double ratio_x = 1.0;
  double ratio_y = 1.0;
  double dim_x = 2.0;
  double dim_y = 1.0;
};

inline MeshChoice mesh_choice(const Reader& r, long long default_level) {
  r.exclude("--level", "--cells");
  r.require("--pattern", "--cells");
  r.require("--grading", "--cells");
  r.require("--two-sided", "--grading");
  MeshChoice m;
  m.is_lattice = r.given("--cells");
  // A level beyond int is one build_mesh refuses as well.
  m.level = std::min(r.whole("--level", default_level, 0), 99LL);
  m.cells_x = r.whole("--cells", 0, 0, 0);
  m.cells_y = r.whole("--cells", 0, 0, 1);
  m.pattern = r.choice("--pattern", {"crossed", "fan"}) == "fan" ? malha::LatticePattern::fan
                                                                 : malha::LatticePattern::crossed;
  m.is_graded = r.given("--grading");
  m.two_sided = r.given("--two-sided");
  m.ratio_x = r.number("--grading", 1.0, 0);
  m.ratio_y = r.number("--grading", 1.0, 1);
  m.dim_x = r.number("--lengths", 2.0, 0);
  m.dim_y = r.number("--lengths", 1.0, 1);
  return m;
}

inline malha::Mesh build(const MeshChoice& m) {
  if (!m.is_lattice) return malha::build_mesh(static_cast<int>(m.level), m.dim_x, m.dim_y);
  if (!m.is_graded) {
    return malha::build_lattice_mesh(m.cells_x, m.cells_y, m.dim_x, m.dim_y, m.pattern);
  }
  const auto lines = m.two_sided ? malha::two_sided_lines : malha::graded_lines;
  return malha::build_lattice_mesh(lines(m.cells_x, m.dim_x, m.ratio_x),
                                   lines(m.cells_y, m.dim_y, m.ratio_y), m.pattern);
}

// "level 10", or "cells 64 x 32, pattern crossed", with ", grading 20 x 1"
// (and " two-sided") for a graded lattice, as examples/options.py prints.
inline std::string describe(const MeshChoice& m) {
  if (!m.is_lattice) return "level " + std::to_string(m.level);
  std::string graded;
  if (m.is_graded) {
    char ratios[64];
    std::snprintf(ratios, sizeof(ratios), ", grading %g x %g", m.ratio_x, m.ratio_y);
    graded = std::string(ratios) + (m.two_sided ? " two-sided" : "");
  }
  return "cells " + std::to_string(m.cells_x) + " x " + std::to_string(m.cells_y) + ", pattern " +
         (m.pattern == malha::LatticePattern::fan ? "fan" : "crossed") + graded;
}

// Reads the command line of `program`: the mesh options and `extra`, given
// to `parse`, which fills `out`. Returns the exit status when the run ends
// here (0 after printing `usage` for --help, 2 after a refusal, said on
// standard error), or -1 when it goes on.
template <typename Parsed, typename Parse>
int read_command_line(int argc, char** argv, std::initializer_list<Option> extra,
                      const char* program, const char* usage, Parse parse, Parsed& out) {
  try {
    std::vector<Option> known = kMeshOptions;
    known.insert(known.end(), extra);
    const Reader reader(argc, argv, known);
    if (reader.given("--help")) {
      std::fputs(usage, stdout);
      return 0;
    }
    out = parse(reader);
    return -1;
  } catch (const Refusal& refusal) {
    std::fprintf(stderr, "%s: %s (--help: usage)\n", program, refusal.what());
    return 2;
  }
}

}  // namespace options
