// The vertex-program texts of content/: the tangent-space programs run through
// the CPU interpreter give the light and half-angle vectors in the vertex's
// tangent space; every text loads into the driver.
#include "tests/nv/VpInterpreter.h"
#include "tests/support/TestSupport.h"

#include "scene/math/Matrix.h"
#include "scene/math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

void Set(VpVec& r, const TVector3& v, float w) {
    r = {{v.x, v.y, v.z, w}};
}

} // namespace

// Registers: the inverse model-view at 12 (the bump program) or 92, the
// light's eye-space position at 16. Inputs: position, tangent v[1],
// binormal v[3], normal, coordinates v[8]. L goes to set 1 (H to set 2 in
// the bump program; H to set 1 in the specular ones); coordinates to set 0.
TEST(ScenePrograms, TangentSpaceLightAndHalfAngleVectors) {
    struct {
        const char* file;
        int inverseAt, lightSet, halfSet; // -1: none
    } rows[] = {{"vpBumpDiffuseAndSpecular.txt", 12, 1, 2},
                {"vpBumpDiffuseTex0.txt", 92, 1, -1},
                {"vpBumpSpecularTex0.txt", 92, -1, 1},
                {"vpBumpDiffuseWithShadowTexture.txt", 92, 1, -1},
                {"vpBumpSpecularWithShadowTexture.txt", 92, -1, 1}};
    for (const auto& row : rows) {
        const std::vector<uint8_t> bytes = ReadFileBytes(SourcePath(std::string("content/") + row.file));
        const std::string text(bytes.begin(), bytes.end());
        for (int i = 0; i < 4; i++) {
            // A model-view with rotation and translation, a tilted tangent frame.
            const TMatrix4 modelView =
                TMatrix::Translate(TMatrix::Rotate(TMatrix::Identity(), 30.0f * float(i), 0.3f, 1, 0.2f),
                                   1.5f * float(i), -2, -10);
            const TMatrix4 inverse = TMatrix::Invert(modelView);
            const float a = 0.4f * float(i);
            const TVector3 p = {0.5f, -0.25f * float(i), 1}, t = {std::cos(a), std::sin(a), 0},
                           b = {-std::sin(a), std::cos(a), 0}, n = {0, 0, 1},
                           light = {-4, 3.0f * float(i), -2};
            VpMachine m{};
            Set(m.in[0], p, 1);
            Set(m.in[1], t, 1);
            Set(m.in[3], b, 1);
            Set(m.in[2], n, 1);
            Set(m.in[8], {0.25f, 0.75f, 0}, 1);
            Set(m.c[16], light, 1);
            Set(m.c[18], {0.5f, 1, 2}, 0);
            for (int r = 0; r < 4; r++) // as SetMatrixParameter loads it
                m.c[row.inverseAt + r] = {
                    {inverse.m[r], inverse.m[r + 4], inverse.m[r + 8], inverse.m[r + 12]}};
            std::string error;
            ASSERT_TRUE(VpRun(text, m, &error)) << row.file << ": " << error;
            const TVector3 l =
                TVector::Normalize(TVector::Subtract(TMatrix::TransformPoint(light, inverse), p));
            const TVector3 h = TVector::Add(
                l, TVector::Normalize(TVector::Subtract(TMatrix::TransformPoint({0, 0, 0}, inverse), p)));
            for (auto [set, v] : {std::pair{row.lightSet, l}, {row.halfSet, h}}) {
                if (set < 0) continue;
                const float* out = m.out[7 + set].v; // TEX0 is output 7
                EXPECT_NEAR(out[0], TVector::Dot(t, v), 1e-4) << row.file << " " << i;
                EXPECT_NEAR(out[1], TVector::Dot(b, v), 1e-4) << row.file << " " << i;
                EXPECT_NEAR(out[2], TVector::Dot(n, v), 1e-4) << row.file << " " << i;
            }
            EXPECT_FLOAT_EQ(m.out[7].v[0], 0.25f);
            EXPECT_FLOAT_EQ(m.out[7].v[1], 0.75f);
        }
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
    }
}
