#include "scene/model/ScenePositional.h"

#include "scene/math/Quaternion.h"

void Ts3dPositional::Evaluate(double time) {
    ParentWorld = Parent ? Parent->GetWorldMatrix(time) : TMatrix::Identity();
}

TMatrix4 Ts3dPositional::GetWorldMatrix(double time) {
    if (time != CachedTime) {
        Evaluate(time);
        CachedTime = time;
    }
    return World;
}

void Ts3dFixedPosition::Evaluate(double time) {
    Ts3dPositional::Evaluate(time);
    World = TMatrix::Multiply(LocalMatrix, ParentWorld);
}

Ts3dAnimPosition::Ts3dAnimPosition() {
    PositionTrack.SetValueCount(3);
    RotationTrack.SetValueCount(3);
    PositionTrack.Kind = akTcbSpline;
    RotationTrack.Kind = akQuatSpline;
}

void Ts3dAnimPosition::Evaluate(double time) {
    Ts3dPositional::Evaluate(time);
    PositionTrack.Evaluate(time);
    RotationTrack.Evaluate(time);
    auto value = [](const TAnim& track, int32_t i) {
        return i < int32_t(track.Values.size()) ? float(track.Values[size_t(i)].Value) : 0.0f;
    };
    TMatrix4 t =
        TMatrix::Translation(value(PositionTrack, 0), value(PositionTrack, 1), value(PositionTrack, 2));
    TQuat q = TQuaternion::Make(value(RotationTrack, 3), value(RotationTrack, 0), value(RotationTrack, 1),
                                value(RotationTrack, 2));
    TMatrix4 r = TQuaternion::ToMatrix(q);
    World = TMatrix::Multiply(TMatrix::Multiply(r, t), ParentWorld);
}
