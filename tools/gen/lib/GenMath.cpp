#include "tools/gen/lib/GenMath.h"

TRotation AxisAngle(V3 axis, float degrees) {
    V3 k = Normalize(axis);
    float a = Radians(degrees), c = std::cos(a), s = std::sin(a);
    TRotation r;
    const V3 basis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; i++) {
        V3 v = basis[i];
        // Rodrigues: the image of each axis is a row.
        r.row[i] = v * c + Cross(k, v) * s + k * (Dot(k, v) * (1.0f - c));
    }
    return r;
}

TRotation LookRotation(V3 forward, V3 up) {
    V3 back = Normalize(-forward);
    V3 right = Normalize(Cross(up, back));
    if (Length(right) < 0.5f) right = Normalize(Cross(V3{0, 0, 1}, back)); // looking straight up or down
    if (Length(right) < 0.5f) right = {1, 0, 0};
    V3 trueUp = Cross(back, right);
    return {{right, trueUp, back}};
}

void ToFileQuaternion(const TRotation& r, float q[4]) {
    // The loader builds its matrix M from (w, x, y, z) with the textbook
    // formula and applies it to row vectors, so M's rows must be ours: take
    // the textbook quaternion of M itself.
    auto m = [&](int i, int j) {
        const V3& v = r.row[i];
        return j == 0 ? v.x : j == 1 ? v.y : v.z;
    };
    float trace = m(0, 0) + m(1, 1) + m(2, 2);
    float w, x, y, z;
    if (trace > 0.0f) {
        float s = 0.5f / std::sqrt(trace + 1.0f);
        w = 0.25f / s;
        x = (m(2, 1) - m(1, 2)) * s;
        y = (m(0, 2) - m(2, 0)) * s;
        z = (m(1, 0) - m(0, 1)) * s;
    } else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2)) {
        float s = 2.0f * std::sqrt(1.0f + m(0, 0) - m(1, 1) - m(2, 2));
        w = (m(2, 1) - m(1, 2)) / s;
        x = 0.25f * s;
        y = (m(0, 1) + m(1, 0)) / s;
        z = (m(0, 2) + m(2, 0)) / s;
    } else if (m(1, 1) > m(2, 2)) {
        float s = 2.0f * std::sqrt(1.0f + m(1, 1) - m(0, 0) - m(2, 2));
        w = (m(0, 2) - m(2, 0)) / s;
        x = (m(0, 1) + m(1, 0)) / s;
        y = 0.25f * s;
        z = (m(1, 2) + m(2, 1)) / s;
    } else {
        float s = 2.0f * std::sqrt(1.0f + m(2, 2) - m(0, 0) - m(1, 1));
        w = (m(1, 0) - m(0, 1)) / s;
        x = (m(0, 2) + m(2, 0)) / s;
        y = (m(1, 2) + m(2, 1)) / s;
        z = 0.25f * s;
    }
    float l = std::sqrt(w * w + x * x + y * y + z * z);
    q[0] = x / l;
    q[1] = y / l;
    q[2] = z / l;
    q[3] = w / l;
}
