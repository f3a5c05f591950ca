#pragma once

#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <memory>

// A plan made the way a host makes one, over a finished diagram: builder, distant contacts,
// solver and splitting, on `threads` threads. The splitting's timing lines are captured.
struct koPlanned {
  koPlanned(const koMeshGroups& groups, const koContactDiagram& diagram, unsigned int threads)
      : hierarchy(groups), builder(hierarchy, diagram, threads) {
    koDistantContacts(builder).computeDistantContacts(threads, nullptr);
    builder.initSolver();
    testing::internal::CaptureStdout();
    builder.computeGroupsHierarchy(0, nullptr);
    testing::internal::GetCapturedStdout();
  }
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
};

// The same from the meshes alone: the automatic diagram with directions merged within 5 degrees,
// then the plan.
struct koPlannedFromMeshes {
  explicit koPlannedFromMeshes(const koMeshGroups& groups, unsigned int threads = 2)
      : diagram(groups, threads, nullptr) {
    diagram.computeDirectionSet(5.0f);
    planned = std::make_unique<koPlanned>(groups, diagram, threads);
  }
  koContactDiagram diagram;
  std::unique_ptr<koPlanned> planned;
};
