#pragma once
// The benchmarks' clock, and the figures they take of their rounds.

#include <windows.h>

#include <algorithm>
#include <vector>

// Seconds on the performance counter.
inline double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The middle value of the rounds (the upper middle for an even count).
inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The least value of the rounds: the round least disturbed by other load.
inline double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }
