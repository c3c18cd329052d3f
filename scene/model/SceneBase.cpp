#include "scene/model/SceneBase.h"

#include "platform/Format.h"

void RaiseListIndexError(int64_t index) {
    throw EListError(Format("List index out of bounds (%lld)", static_cast<long long>(index)));
}
