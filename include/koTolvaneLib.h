#pragma once

// Every public header of the library.
#include "Wm4Foundation.h"
#include "ko2SATState.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"
#include "koMiniThreadPoolThread.h"
#include "koThreadSafeCounter.h"
#include "koTolvaneLibExport.h"
#include "koTolvaneLibVersion.h"
