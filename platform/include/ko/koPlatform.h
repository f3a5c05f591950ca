#pragma once

// Every header of the platform library.
#include <ko/koAttributes.h>
#include <ko/koBBox.h>
#include <ko/koController.h>
#include <ko/koDataToGeometry.h>
#include <ko/koIndexBuffer.h>
#include <ko/koKeyframeController.h>
#include <ko/koMaterialState.h>
#include <ko/koMeshManager.h>
#include <ko/koMeshUtils.h>
#include <ko/koMutex.h>
#include <ko/koNode.h>
#include <ko/koObject.h>
#include <ko/koPointer.h>
#include <ko/koProgressNotifierInterface.h>
#include <ko/koSpatial.h>
#include <ko/koSystemUtils.h>
#include <ko/koTSharedArray.h>
#include <ko/koThread.h>
#include <ko/koTransformation.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>
