// Readable gtest output for TextList values.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "text/text.h"

namespace vellumara {

inline void PrintTo(const TextList& list, std::ostream* os) {
  *os << "{";
  for (int i = 1; i <= list.Count(); ++i) {
    if (i > 1) *os << ", ";
    *os << ::testing::PrintToString(list.Item(i));
  }
  *os << "}";
}

}  // namespace vellumara
