// Everything of the geometry math in one include.
#pragma once

#include "scene/math/MathTypes.h"
#include "scene/math/MathFunctions.h"
#include "scene/math/Vector.h"
#include "scene/math/Matrix.h"
#include "scene/math/Quaternion.h"
#include "scene/math/ExtendedMatrix.h"
#include "scene/math/Colors.h"
