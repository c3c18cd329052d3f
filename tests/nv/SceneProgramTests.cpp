// The vertex-program texts of content/ run through the CPU interpreter: each
// computes what its name says from the registers it documents.
#include "tests/nv/VpInterpreter.h"
#include "tests/support/TestSupport.h"

#include "scene/math/Matrix.h"
#include "scene/math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

enum { kTex0 = 7, kTex1 = 8, kTex2 = 9 }; // output slots
enum { kPos = 0, kTangent = 1, kNormal = 2, kBinormal = 3, kCoords = 8 };

std::string Program(const char* name) {
    std::vector<uint8_t> bytes = ReadFileBytes(SourcePath(std::string("content/") + name));
    return std::string(bytes.begin(), bytes.end());
}

void Set(VpVec& r, float x, float y, float z, float w) {
    r = {{x, y, z, w}};
}

// A matrix into four registers as SetMatrixParameter loads it: register
// base + r holds elements r, r+4, r+8, r+12.
void SetMatrix(VpMachine& m, int base, const TMatrix4& matrix) {
    for (int r = 0; r < 4; r++)
        Set(m.c[base + r], matrix.m[r], matrix.m[r + 4], matrix.m[r + 8], matrix.m[r + 12]);
}

TVector3 Unit(const TVector3& v) {
    return TVector::Normalize(v);
}
TVector3 Out3(const VpMachine& m, int slot) {
    return {m.out[slot].v[0], m.out[slot].v[1], m.out[slot].v[2]};
}

// A model-view with rotation and translation, and a vertex with a tangent
// frame that is not the identity.
struct TSetting {
    TMatrix4 modelView;
    TVector3 position, tangent, binormal, normal, light; // light in eye space
};

TSetting Setting(int i) {
    TSetting s;
    s.modelView = TMatrix::Translate(TMatrix::Rotate(TMatrix::Identity(), 30.0f * float(i), 0.3f, 1, 0.2f),
                                     1.5f * float(i), -2, -10);
    s.position = {0.5f, -0.25f * float(i), 1};
    const float a = 0.4f * float(i);
    s.tangent = {std::cos(a), std::sin(a), 0};
    s.binormal = {-std::sin(a), std::cos(a), 0};
    s.normal = {0, 0, 1};
    s.light = {-4, 3.0f * float(i), -2};
    return s;
}

void Inputs(VpMachine& m, const TSetting& s) {
    m = VpMachine{};
    Set(m.in[kPos], s.position.x, s.position.y, s.position.z, 1);
    Set(m.in[kTangent], s.tangent.x, s.tangent.y, s.tangent.z, 1);
    Set(m.in[kBinormal], s.binormal.x, s.binormal.y, s.binormal.z, 1);
    Set(m.in[kNormal], s.normal.x, s.normal.y, s.normal.z, 1);
    Set(m.in[kCoords], 0.25f, 0.75f, 0, 1);
    Set(m.c[16], s.light.x, s.light.y, s.light.z, 1);
    Set(m.c[18], 0.5f, 1, 2, 0);
}

// L and H in object space for a setting.
void LightAndHalf(const TSetting& s, TVector3& l, TVector3& h) {
    const TMatrix4 inverse = TMatrix::Invert(s.modelView);
    l = Unit(TVector::Subtract(TMatrix::TransformPoint(s.light, inverse), s.position));
    const TVector3 v = Unit(TVector::Subtract(TMatrix::TransformPoint({0, 0, 0}, inverse), s.position));
    h = TVector::Add(l, v);
}

TVector3 TangentSpace(const TSetting& s, const TVector3& d) {
    return {TVector::Dot(s.tangent, d), TVector::Dot(s.binormal, d), TVector::Dot(s.normal, d)};
}

void ExpectVector(const TVector3& got, const TVector3& want, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, 1e-4) << what;
    EXPECT_NEAR(got.y, want.y, 1e-4) << what;
    EXPECT_NEAR(got.z, want.z, 1e-4) << what;
}

} // namespace

// The bump program (registers 12-15 inverse model-view, 16 light) and the
// two tangent-space programs with the tracked inverse model-view (92-95):
// L or H in the vertex's tangent space, the bump coordinates passed on.
TEST(ScenePrograms, TangentSpaceLightAndHalfAngleVectors) {
    struct {
        const char* file;
        int inverseAt;           // register of the inverse model-view
        int lightSlot, halfSlot; // output slots of L and H, -1: none
        int coordSlots[2];
    } rows[] = {
        {"vpBumpDiffuseAndSpecular.txt", 12, kTex1, kTex2, {kTex0, kTex0 + 3}},
        {"vpBumpDiffuseTex0.txt", 92, kTex1, -1, {kTex0, kTex2}},
        {"vpBumpSpecularTex0.txt", 92, -1, kTex1, {kTex0, kTex2}},
        {"vpBumpDiffuseWithShadowTexture.txt", 92, kTex1, -1, {kTex0, kTex0}},
        {"vpBumpSpecularWithShadowTexture.txt", 92, -1, kTex1, {kTex0, kTex0}},
    };
    for (const auto& row : rows) {
        const std::string text = Program(row.file);
        for (int i = 0; i < 4; i++) {
            const TSetting s = Setting(i);
            VpMachine m;
            Inputs(m, s);
            SetMatrix(m, row.inverseAt, TMatrix::Invert(s.modelView));
            SetMatrix(m, 84, s.modelView);
            std::string error;
            ASSERT_TRUE(VpRun(text, m, &error)) << row.file << ": " << error;
            TVector3 l, h;
            LightAndHalf(s, l, h);
            const std::string what = std::string(row.file) + " setting " + std::to_string(i);
            if (row.lightSlot >= 0) ExpectVector(Out3(m, row.lightSlot), TangentSpace(s, l), what + " L");
            if (row.halfSlot >= 0) ExpectVector(Out3(m, row.halfSlot), TangentSpace(s, h), what + " H");
            for (int slot : row.coordSlots) {
                EXPECT_FLOAT_EQ(m.out[slot].v[0], 0.25f) << what;
                EXPECT_FLOAT_EQ(m.out[slot].v[1], 0.75f) << what;
            }
        }
    }
}

// Refraction follows Snell's law: the refracted ray lies in the plane of
// the view ray and the normal, bends towards the normal, and
// sin(refracted) = ratio x sin(incident); straight on, it goes straight on.
TEST(ScenePrograms, RefractionBendsTheViewRayBySnellsLaw) {
    const float ratio = 1.0f / 1.33f;
    for (const char* file : {"vpPlainRefraction.txt", "vpPlainRefractionWithShadow.txt"}) {
        const std::string text = Program(file);
        for (float angle : {0.0f, 20.0f, 45.0f, 70.0f}) {
            VpMachine m = VpMachine{};
            // The eye looks down -z at a surface facing +z, from `angle`.
            const float rad = angle * float(M_PI) / 180.0f;
            Set(m.in[kPos], std::sin(rad) * -5, 0, std::cos(rad) * -5, 1);
            Set(m.in[kNormal], 0, 0, 1, 0);
            Set(m.c[18], 0.5f, 1, 2, 0);
            Set(m.c[19], ratio, ratio * ratio, 0, 0);
            for (int r = 0; r < 3; r++)
                Set(m.c[24 + r], r == 0, r == 1, r == 2, 0);
            SetMatrix(m, 84, TMatrix::Identity());
            SetMatrix(m, 88, TMatrix::Identity());
            std::string error;
            ASSERT_TRUE(VpRun(text, m, &error)) << file << ": " << error;
            const TVector3 t = Unit(Out3(m, kTex0));
            const float sinIn = std::sin(rad), sinOut = std::sqrt(t.x * t.x + t.y * t.y);
            EXPECT_NEAR(sinOut, ratio * sinIn, 1e-4) << file << " at " << angle;
            EXPECT_LT(t.z, 0.0f) << file << " goes on through the surface";
            EXPECT_NEAR(t.y, 0.0f, 1e-5) << file;
        }
    }
}

// The anisotropic lighting table is looked up by (L.T, H.T) mapped to 0..1.
TEST(ScenePrograms, AnisotropicLightGivesTheTangentProjections) {
    const std::string text = Program("vpAnsiotropicLight.txt");
    for (int i = 0; i < 4; i++) {
        const TSetting s = Setting(i);
        VpMachine m;
        Inputs(m, s);
        SetMatrix(m, 92, TMatrix::Invert(s.modelView));
        std::string error;
        ASSERT_TRUE(VpRun(text, m, &error)) << error;
        TVector3 l, h;
        LightAndHalf(s, l, h);
        h = Unit(h);
        EXPECT_NEAR(m.out[kTex0].v[0], 0.5f * TVector::Dot(l, s.tangent) + 0.5f, 1e-4) << i;
        EXPECT_NEAR(m.out[kTex0].v[1], 0.5f * TVector::Dot(h, s.tangent) + 0.5f, 1e-4) << i;
    }
}

// The shadow coordinates: the vertex through the model-view (84-87) and the
// eye-to-map matrix (20-23).
TEST(ScenePrograms, ShadowCoordinatesTakeTheVertexIntoTheMap) {
    struct {
        const char* file;
        int slot;
    } rows[] = {{"vpBumpDiffuseWithShadowTexture.txt", kTex2},
                {"vpBumpSpecularWithShadowTexture.txt", kTex2},
                {"vpPlainRefractionWithShadow.txt", kTex1}};
    const TSetting s = Setting(2);
    const TMatrix4 map =
        TMatrix::Translate(TMatrix::Rotate(TMatrix::Identity(), 40, 1, 0, 0), 0.5f, 0.5f, 0.5f);
    const TVector3 want = TMatrix::TransformPoint(TMatrix::TransformPoint(s.position, s.modelView), map);
    for (const auto& row : rows) {
        VpMachine m;
        Inputs(m, s);
        SetMatrix(m, 84, s.modelView);
        SetMatrix(m, 88, TMatrix::Transpose(TMatrix::Invert(s.modelView)));
        SetMatrix(m, 92, TMatrix::Invert(s.modelView));
        SetMatrix(m, 20, map);
        Set(m.c[19], 0.75f, 0.5625f, 0, 0);
        std::string error;
        ASSERT_TRUE(VpRun(Program(row.file), m, &error)) << row.file << ": " << error;
        ExpectVector(Out3(m, row.slot), want, row.file);
        EXPECT_NEAR(m.out[row.slot].v[3], 1.0f, 1e-5) << row.file;
    }
}

// Every text the scene and the material handler load passes `mirel vp check`.
TEST(ScenePrograms, EveryTextLoadsIntoTheDriver) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    for (const char* file : {"vpBumpDiffuseAndSpecular.txt", "vpBumpReflect3.txt", "vpBumpDiffuseTex0.txt",
                             "vpBumpSpecularTex0.txt", "vpBumpDiffuseWithShadowTexture.txt",
                             "vpBumpSpecularWithShadowTexture.txt", "vpPlainRefraction.txt",
                             "vpPlainRefractionWithShadow.txt", "vpAnsiotropicLight.txt"}) {
        CommandResult r = RunMirel({"vp", "check", SourcePath(std::string("content/") + file)});
        EXPECT_EQ(r.exitCode, 0) << file << ": " << r.err;
        EXPECT_NE(r.out.find(": ok"), std::string::npos) << r.out;
    }
}
