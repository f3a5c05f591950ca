#pragma once

// Every public header of the library.
#include "Wm4Foundation.h"
#include "ko2SATSolver.h"
#include "ko2SATState.h"
#include "ko2SATSystemRoot.h"
#include "koContactDiagram.h"
#include "koDLXNode.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koGroupsClustering.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"
#include "koMiniThreadPoolThread.h"
#include "koThreadSafeCounter.h"
#include "koTolvaneLibExport.h"
#include "koTolvaneLibVersion.h"
