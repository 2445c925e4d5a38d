#pragma once

#include <gmock/gmock.h>

#include <string>

#include "base/fatal.h"

namespace kelm::testing {

// What a program would write for the failure the work raises (message, then the line end when
// it has one), or "(no failure)".
template <typename Work>
std::string failureText(Work work) {
  try {
    work();
  } catch (const Failure& failure) {
    return failure.message() + (failure.lineEnd() ? "\n" : "");
  }
  return "(no failure)";
}

}  // namespace kelm::testing

// The statement fails with a message matching the regular expression (anchors as a death
// test's).
#define EXPECT_FAILS_WITH(statement, regex) \
  EXPECT_THAT(::kelm::testing::failureText([&] { (void)(statement); }), ::testing::ContainsRegex(regex))
