#pragma once

// Knobs that only the test suite and the benchmarks turn, through VURK_TEST_* environment
// variables (for example a check interval of a few milliseconds for a soak run). Unset, the
// program behaves as shipped.
namespace app {

// The variable's value as a whole number, or fallback when it is unset or not a number.
int testSeam(const char *name, int fallback);

} // namespace app
