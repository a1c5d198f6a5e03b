#pragma once

#include "DynArray.h"

#include <string>

// What --info tells about an object: polygons, triangles and quads, the bounding box, the
// colours used and the bitmaps named, each with whether it is found in textureFolder.
std::string DescribeObject(const CDynArray& list, const std::string& textureFolder);
