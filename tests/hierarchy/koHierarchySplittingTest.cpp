// What the splitting prints; its plans, progress and replays are checked by the oracle test.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "support/koHandDiagram.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

// The timing lines are always printed, one per thread between the totals; verbose adds the
// nodes being split and the splits whose sides nothing joins. Group 2 touches nothing, so the
// root frees it (or the other two) without cutting a contact, then groups 0 and 1 part.
TEST(koHierarchySplitting, PrintsTimingAndVerboseLines) {
  koHandDiagram hand(3);
  hand.contact(1, 0, {Wm4::Vector3<double>(0, 0, 1)});
  hand.diagram.computeDirectionSet(5.0f);
  koDisassemblyHierarchy hierarchy(hand.groups);
  koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 2);
  builder.verbose = true;
  builder.initSolver();
  testing::internal::CaptureStdout();
  builder.computeGroupsHierarchy(0, nullptr);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(output, std::regex("splitting group: 0\\n"
                                                  "0: disjoint sets spotted\\n"
                                                  "splitting group: [12]\\n"
                                                  "solver time: [0-9.e+-]+ s\\.\\n"
                                                  "t0: [0-9.e+-]+ s\\. for [012]jobs\\n"
                                                  "t1: [0-9.e+-]+ s\\. for [012]jobs\\n"
                                                  "total: [0-9.e+-]+ s\\. for 2\\n")))
      << output;
}

} // namespace
