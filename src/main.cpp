// crt: traces the curve x^2 + (x^2 + y^2)^2 - y^2 = 0 into ispis.dat and
// hands the points to the plotting program.
#include "launch/plotter_launch.h"
#include "runtime/runtime.h"
#include "trace/curve_tracer.h"

namespace {

void main_routine() {
  trace::trace_curve();
  launch::launch_plotter();
}

}  // namespace

int main() { return runtime::run_process(main_routine); }
