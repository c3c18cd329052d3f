// Node transforms. A Ts3dPositional places an object, light or camera in the
// world; its world matrix is evaluated lazily, once per distinct time: a
// chain of parents is therefore evaluated once per node however many children
// ask for it.
#pragma once

#include "demo/core/Anim.h"
#include "scene/math/Matrix.h"
#include "scene/model/SceneBase.h"

class Ts3dPositional : public Ts3dBase {
public:
    // Sets ParentWorld from the parent (identity without one); subclasses then
    // compute World.
    virtual void Evaluate(double time);
    // The world matrix at `time`, evaluated only when time differs from the
    // time of the last evaluation.
    virtual TMatrix4 GetWorldMatrix(double time);

    double CachedTime = -1.0;
    TMatrix4 World = TMatrix::Identity();
    TMatrix4 ParentWorld = TMatrix::Identity();
    Ts3dPositional* Parent = nullptr;
    TMatrix4 FrameWorld = TMatrix::Identity(); // world matrix at the current frame's scene time
    TMatrix4 ModelView = TMatrix::Identity();  // FrameWorld times the inverse view matrix
};

// A node with a fixed local transform.
class Ts3dFixedPosition : public Ts3dPositional {
public:
    // World = LocalMatrix, then ParentWorld.
    void Evaluate(double time) override;

    TMatrix4 LocalMatrix = TMatrix::Identity();
    TMatrix4 PivotMatrix = TMatrix::Identity(); // kept from the file; takes no part in any transform
};

// A node animated by a position track and a rotation track (a quaternion
// stored x, y, z, w). Times are in the scene file's frames.
class Ts3dAnimPosition : public Ts3dPositional {
public:
    Ts3dAnimPosition();
    // World = rotation, then translation, then ParentWorld. A track without
    // keys keeps its values at 0; a zero rotation is the identity.
    void Evaluate(double time) override;

    TAnim PositionTrack;
    TAnim RotationTrack;
};
