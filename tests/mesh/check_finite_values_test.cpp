// The guard that does not rely on the floating-point traps: constructions
// run here with the traps off, as where no trap is delivered, and their
// non-finite values throw the report the trap would have given.
#include "mesh/check_finite_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "support/dialogue.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::string kOverflow =
    testing::error_report("M3003", "MATH", "floating-point error: overflow");
const std::string kInvalid =
    testing::error_report("M3001", "MATH", "floating-point error: invalid");

TEST(CheckFiniteValues, NonFiniteValuesThrowTheMathReport) {
  struct Case {
    const char* name;
    std::function<Mesh()> make;
    std::string report;  // empty: the mesh passes
  };
  const Case cases[] = {
      // Node 6 lies at 2 x dx, beyond the largest double.
      {"level 1, construction overflows", [] { return testing::built_mesh(1, 1.7e308, 1.0); },
       kOverflow},
      // The right-hand fictitious nodes lie at dim_x + dx.
      {"level 3, construction overflows", [] { return testing::built_mesh(3, 1.0, 1.5e308); },
       kOverflow},
      {"level 4, negative lengths overflow",
       [] { return testing::built_mesh(4, -1.6e308, -1.6e308); }, kOverflow},
      {"largest lengths without overflow", [] { return testing::built_mesh(3, 1e308, 1e308); },
       ""},
      {"not-a-number in a barycentre",
       [] {
         Mesh mesh = testing::built_mesh(5, 1.0, 1.0);
         mesh.barycentres(mesh.n_volumes, 2) = kNaN;
         return mesh;
       },
       kInvalid},
      {"not-a-number in the first node",
       [] {
         Mesh mesh = testing::built_mesh(2, 1.0, 1.0);
         mesh.node_coords(1, 1) = kNaN;
         return mesh;
       },
       kInvalid},
      {"an infinity decides over a not-a-number",
       [] {
         Mesh mesh = testing::built_mesh(2, 1.0, 1.0);
         mesh.node_coords(1, 1) = kNaN;
         mesh.barycentres(mesh.n_volumes, 1) = -kInfinity;
         return mesh;
       },
       kOverflow},
      {"a spacing no node uses",
       [] {
         Mesh mesh = testing::built_mesh(3, 1.0, 1.0);
         mesh.half_dy = kInfinity;
         return mesh;
       },
       kOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = c.make();
    EXPECT_EQ(testing::thrown_report([&] { check_finite_values(mesh); }), c.report);
  }
}

}  // namespace
}  // namespace malha
