#pragma once

namespace kelm {

// Two objective values closer than this are equal; a bound passes when it is not below the
// best value by more. Tied optima are all reported, so every comparison of values uses it.
inline constexpr double kTieTolerance = 1e-13;

// How often the step counter on standard error is rewritten: per leaf of the exhaustive
// searches, per tree step of the simultaneous search.
inline constexpr int kLeafProgressInterval = 10000;
inline constexpr int kTreeProgressInterval = 1000;

}  // namespace kelm
