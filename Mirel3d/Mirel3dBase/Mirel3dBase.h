// The device-independent rendering layer: types, errors and interfaces.
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "Mirel3d/Mirel3dBase/Mirel3dTypes.h"
