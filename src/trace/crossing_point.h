// The unit of output: one crossing of the curve, x first.
#pragma once

namespace trace {

struct CrossingPoint {
  float x;
  float y;
};

}  // namespace trace
