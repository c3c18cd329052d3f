// NV vertex programs run through the emulation (translated to ARB vertex
// programs) and compared with the CPU interpreter. Each vertex is drawn as a
// point on its own pixel of a float target; a small fragment program copies
// one output (a texture coordinate set, a colour or the fog coordinate) to
// the pixel, so every output of every vertex is read back exactly.
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "tests/nv/NvGl.h"
#include "tests/nv/VpInterpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

constexpr int kVertices = 32;

struct VertexData {
    float attrib[16][kVertices][4];
};

// Column-major helpers for the expected tracked matrices.
void Mul(const float a[16], const float b[16], float out[16]) {
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            double s = 0;
            for (int k = 0; k < 4; k++)
                s += double(a[k * 4 + r]) * b[c * 4 + k];
            out[c * 4 + r] = float(s);
        }
}

void Transposed(const float m[16], float out[16]) {
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            out[c * 4 + r] = m[r * 4 + c];
}

// Gauss-Jordan inverse.
void Inverted(const float m[16], float out[16]) {
    double a[4][8];
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            a[r][c] = m[c * 4 + r];
            a[r][c + 4] = r == c;
        }
    for (int col = 0; col < 4; col++) {
        int pivot = col;
        for (int r = col + 1; r < 4; r++)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        for (int c = 0; c < 8; c++)
            std::swap(a[col][c], a[pivot][c]);
        double d = a[col][col];
        for (int c = 0; c < 8; c++)
            a[col][c] /= d;
        for (int r = 0; r < 4; r++)
            if (r != col) {
                double f = a[r][col];
                for (int c = 0; c < 8; c++)
                    a[r][c] -= f * a[col][c];
            }
    }
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            out[c * 4 + r] = float(a[r][c + 4]);
}

// Register base + r = row r of the matrix.
void SetRows(VpMachine& m, int base, const float mat[16]) {
    for (int r = 0; r < 4; r++)
        m.c[base + r] = VpVec{{mat[r], mat[4 + r], mat[8 + r], mat[12 + r]}};
}

GLuint ReadbackProgram(const NvGlExtras* ext, const char* source) {
    std::string text = std::string("!!ARBfp1.0\nMOV result.color, ") + source + ";\nEND\n";
    GLuint id = 0;
    ext->glGenProgramsARB(1, &id);
    ext->glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, id);
    ext->glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(text.size()),
                            text.data());
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR)) << source;
    return id;
}

struct Output {
    int index;          // in VpMachine::out
    const char* source; // fragment binding that carries it
    bool colour;        // clamped to [0, 1]
};

const Output kOutputs[] = {
    {1, "fragment.color.primary", true}, {2, "fragment.color.secondary", true},
    {5, "fragment.fogcoord", false},     {7, "fragment.texcoord[0]", false},
    {8, "fragment.texcoord[1]", false},  {9, "fragment.texcoord[2]", false},
    {10, "fragment.texcoord[3]", false}, {11, "fragment.texcoord[4]", false},
    {12, "fragment.texcoord[5]", false}, {13, "fragment.texcoord[6]", false},
    {14, "fragment.texcoord[7]", false},
};

struct Case {
    const char* name;
    std::string text;
    float tolerance = 1e-4f;
};

class VpRunner {
public:
    explicit VpRunner(const NvGlExtras* ext, uint32_t seed) : ext_(ext), rng_(seed) {
        for (int a = 0; a < 16; a++)
            for (int v = 0; v < kVertices; v++)
                for (int c = 0; c < 4; c++)
                    data_.attrib[a][v][c] = Random(-2, 2);
        for (int v = 0; v < kVertices; v++) {
            float pos[4] = {float(v) + 0.5f, 0.5f, 0, 1};
            std::copy(pos, pos + 4, data_.attrib[0][v]);
            for (int c = 0; c < 4; c++) // colours in [0, 1]
                data_.attrib[3][v][c] = Random(0, 1), data_.attrib[4][v][c] = Random(0, 1);
            data_.attrib[2][v][3] = 1; // a normal has w = 1
            data_.attrib[4][v][3] = 1;
            data_.attrib[5][v][1] = 0, data_.attrib[5][v][2] = 0,
            data_.attrib[5][v][3] = 1; // fog (f, 0, 0, 1)
        }
        for (int i = 0; i < 96; i++)
            for (int c = 0; c < 4; c++)
                constants_[i].v[c] = Random(-3, 3);
        for (int c = 0; c < 16; c++)
            identity_[c] = c % 5 == 0;
        std::copy(identity_, identity_ + 16, modelview_);
        std::copy(identity_, identity_ + 16, texture1_);
    }

    float Random(float lo, float hi) { return lo + (hi - lo) * float(rng_() % 10000) / 10000.0f; }
    VpVec& Constant(int i) { return constants_[i]; }
    float& Attrib(int a, int v, int c) { return data_.attrib[a][v][c]; }
    void SetModelview(const float m[16]) { std::copy(m, m + 16, modelview_); }
    void SetTexture1(const float m[16]) { std::copy(m, m + 16, texture1_); }
    void Track(int address, GLenum matrix, GLenum transform) {
        tracks_.push_back({address, matrix, transform});
    }

    // Runs the case on GL and on the interpreter; returns mismatches.
    int Run(const Case& test) {
        NvResetState();
        NvBindTarget(true);
        // Matrices: the composed transform is always the pixel-exact ortho.
        float ortho[16];
        GL.glGetFloatv(GL_PROJECTION_MATRIX, ortho);
        float inverseModelview[16], projection[16];
        Inverted(modelview_, inverseModelview);
        Mul(ortho, inverseModelview, projection);
        GL.glMatrixMode(GL_PROJECTION);
        GL.glLoadMatrixf(projection);
        GL.glMatrixMode(GL_MODELVIEW);
        GL.glLoadMatrixf(modelview_);
        GL.glActiveTextureARB(GL_TEXTURE1_ARB);
        GL.glMatrixMode(GL_TEXTURE);
        GL.glLoadMatrixf(texture1_);
        GL.glMatrixMode(GL_MODELVIEW);
        GL.glActiveTextureARB(GL_TEXTURE0_ARB);

        GLuint program = 0;
        GL.glGenProgramsNV(1, &program);
        GL.glBindProgramNV(GL_VERTEX_PROGRAM_NV, program);
        GL.glLoadProgramNV(GL_VERTEX_PROGRAM_NV, program, GLsizei(test.text.size()),
                           reinterpret_cast<const GLubyte*>(test.text.data()));
        EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR)) << test.name;
        for (int i = 0; i < 96; i++)
            GL.glProgramParameter4fvNV(GL_VERTEX_PROGRAM_NV, GLuint(i), constants_[i].v);
        for (int i = 0; i < 24; i++)
            GL.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, GLuint(i * 4), GL_NONE, GL_IDENTITY_NV);
        for (const auto& t : tracks_)
            GL.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, GLuint(t.address), t.matrix, t.transform);
        for (int a = 0; a < 16; a++) {
            int size = a == 2 || a == 4 ? 3 : a == 5 ? 1 : 4;
            GL.glVertexAttribPointerNV(GLuint(a), size, GL_FLOAT, 16, data_.attrib[a]);
            GL.glEnableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + a);
        }
        GL.glEnable(GL_VERTEX_PROGRAM_NV);
        GL.glEnable(GL_FRAGMENT_PROGRAM_ARB);

        // Expected values.
        VpMachine expected[kVertices];
        float composed[16];
        Mul(projection, modelview_, composed);
        for (int v = 0; v < kVertices; v++) {
            VpMachine& m = expected[v];
            for (int a = 0; a < 16; a++)
                for (int c = 0; c < 4; c++)
                    m.in[a].v[c] = data_.attrib[a][v][c];
            for (int i = 0; i < 96; i++)
                m.c[i] = constants_[i];
            for (const auto& t : tracks_) {
                const float* src = t.matrix == GL_MODELVIEW                 ? modelview_
                                   : t.matrix == GL_PROJECTION              ? projection
                                   : t.matrix == GL_MODELVIEW_PROJECTION_NV ? composed
                                                                            : texture1_;
                float tmp[16], result[16];
                switch (t.transform) {
                case GL_TRANSPOSE_NV:
                    Transposed(src, result);
                    break;
                case GL_INVERSE_NV:
                    Inverted(src, result);
                    break;
                case GL_INVERSE_TRANSPOSE_NV:
                    Inverted(src, tmp);
                    Transposed(tmp, result);
                    break;
                default:
                    std::copy(src, src + 16, result);
                }
                SetRows(m, t.address, result);
            }
            std::string error;
            EXPECT_TRUE(VpRun(test.text, m, &error)) << error;
        }

        int bad = 0;
        for (const Output& out : kOutputs) {
            GLuint readback = ReadbackProgram(ext_, out.source);
            GL.glClear(GL_COLOR_BUFFER_BIT);
            GL.glDrawArrays(GL_POINTS, 0, kVertices);
            std::vector<float> px = NvReadTarget();
            for (int v = 0; v < kVertices; v++) {
                const float* got = &px[size_t(v) * 4];
                int components = out.index == 5 ? 1 : 4;
                for (int c = 0; c < components; c++) {
                    float want = expected[v].out[out.index].v[c];
                    float have = got[c];
                    if (out.colour) {
                        want = std::min(1.0f, std::max(0.0f, want));
                        have = std::min(1.0f, std::max(0.0f, have));
                    }
                    if (!(std::fabs(have - want) <= test.tolerance * std::max(1.0f, std::fabs(want)))) {
                        if (bad < 6)
                            ADD_FAILURE() << test.name << ": vertex " << v << " " << out.source << "."
                                          << "xyzw"[c] << " got " << have << " want " << want;
                        bad++;
                    }
                }
            }
            ext_->glDeleteProgramsARB(1, &readback);
        }
        GL.glDisable(GL_FRAGMENT_PROGRAM_ARB);
        GL.glDisable(GL_VERTEX_PROGRAM_NV);
        GL.glDeleteProgramsNV(1, &program);
        return bad;
    }

private:
    struct Track_ {
        int address;
        GLenum matrix, transform;
    };
    const NvGlExtras* ext_;
    std::mt19937 rng_;
    VertexData data_;
    VpVec constants_[96];
    float identity_[16], modelview_[16], texture1_[16];
    std::vector<Track_> tracks_;
};

} // namespace

TEST(NvVertexProgramRender, VectorInstructionsSwizzlesMasksAndNegation) {
    NV_REQUIRE_GL();
    VpRunner runner(ext, 1);
    Case c{"vector", "!!VP1.1\nOPTION NV_position_invariant;\n"
                     "# every vector instruction with swizzles, masks and negation\n"
                     "MOV R0, v[1];\n"
                     "MUL R1, R0.wzyx, -c[3];\n"
                     "ADD R2.xz, R1, v[6].y;\n"
                     "MAD R2.yw, -R0.zzxy, c[4].x, v[7];\n"
                     "MIN R3, R2, -v[8].wxyz;\n"
                     "MAX R4.xyw, R3, c[5].yyzw;\n"
                     "SLT R5, v[1], v[6];\n"
                     "SGE R6, v[1].w, c[6];\n"
                     "SUB R7, -R4, v[9].z;\n"
                     "ABS R8, -R7.xxyz;\n"
                     "MOV o[TEX0], R2;\nMOV o[TEX1], R4;\nMOV o[TEX2], R5;\nMOV o[TEX3], R6;\n"
                     "MOV o[TEX4], R7;\nMOV o[TEX5].xw, R8;\nMOV o[TEX6], R9;\n"
                     "MOV o[COL0], v[COL0].wzyx;\nMOV o[COL1].xyz, v[4].zyxw;\nMOV o[FOGC].x, v[FOGC].x;\n"
                     "MOV o[TEX7].yz, v[NRML];\n"
                     "END\n"};
    EXPECT_EQ(runner.Run(c), 0);
}

TEST(NvVertexProgramRender, ScalarAndDotInstructionsIncludingRcc) {
    NV_REQUIRE_GL();
    VpRunner runner(ext, 2);
    runner.Constant(10) = VpVec{{1e-25f, -1e25f, 0.25f, -4.0f}};
    runner.Constant(11) = VpVec{{0.8f, 0.6f, 0.0f, 12.0f}}; // LIT: diffuse, specular, power
    runner.Constant(12) = VpVec{{-0.3f, 0.6f, 0.0f, 3.0f}};
    for (int v = 0; v < kVertices; v++)
        runner.Attrib(1, v, 0) = 0.1f + float(v) * 0.37f; // positive for LOG
    Case c{"scalar",
           "!!VP1.1 OPTION NV_position_invariant;\n"
           "RCP R0.x, v[1].x;\nRSQ R0.y, -v[1].x;\nEXP R1, v[6].y;\nLOG R2, v[1].x;\n"
           "RCC R3.x, c[10].x;\nRCC R3.y, c[10].y;\nRCC R3.z, c[10].z;\nRCC R3.w, -c[10].w;\n"
           "DP3 R4.x, v[1], v[6];\nDP4 R4.y, v[1], -v[7];\nDPH R4.z, v[6], c[7];\nDST R5, v[1], v[7];\n"
           "LIT R6, c[11];\nLIT R7, c[12];\nRCP R8, v[7].w;\n"
           "MOV o[TEX0], R0;\nMOV o[TEX1], R1;\nMOV o[TEX2], R2;\nMOV o[TEX3], R3;\n"
           "MOV o[TEX4], R4;\nMOV o[TEX5], R5;\nMOV o[TEX6], R6;\nMOV o[TEX7], R7;\nMOV o[COL0], R8;\n"
           "END\n",
           2e-3f};
    EXPECT_EQ(runner.Run(c), 0);
}

TEST(NvVertexProgramRender, RelativeAddressingPerVertex) {
    NV_REQUIRE_GL();
    VpRunner runner(ext, 3);
    for (int v = 0; v < kVertices; v++)
        runner.Attrib(6, v, 0) = float(20 + v % 12) + 0.75f; // ARL floors; indices stay in 0..95
    Case c{"relative", "!!VP1.1 OPTION NV_position_invariant;\n"
                       "ARL A0.x, v[6].x;\n"
                       "MOV o[TEX0], c[A0.x];\nMOV o[TEX1], c[A0.x + 17];\nADD o[TEX2], c[A0.x - 20], -c[ "
                       "A0.x + 63 ].yzwx;\n"
                       "ARL A0.x, -v[6].x;\nMOV o[TEX3], c[A0.x + 63];\n"
                       "END\n"};
    EXPECT_EQ(runner.Run(c), 0);
}

TEST(NvVertexProgramRender, TrackedMatricesWithTheFourTransforms) {
    NV_REQUIRE_GL();
    VpRunner runner(ext, 4);
    // A rotation about an oblique axis with translation and scale.
    float a = 0.7f, cs = std::cos(a), sn = std::sin(a);
    float mv[16] = {cs * 1.5f, sn * 1.5f, 0, 0, -sn, cs, 0, 0, 0, 0, 2, 0, 3, -2, 0.5f, 1};
    float tex[16] = {1, 0.5f, 0, 0, 0, 2, 0, 0, 0.25f, 0, 1, 0, 0.1f, 0.2f, 0.3f, 1};
    runner.SetModelview(mv);
    runner.SetTexture1(tex);
    runner.Track(0, GL_MODELVIEW_PROJECTION_NV, GL_IDENTITY_NV);
    runner.Track(4, GL_MODELVIEW, GL_INVERSE_NV);
    runner.Track(8, GL_PROJECTION, GL_TRANSPOSE_NV);
    runner.Track(12, GL_TEXTURE1_ARB, GL_INVERSE_TRANSPOSE_NV);
    runner.Track(16, GL_MODELVIEW, GL_IDENTITY_NV);
    Case c{"tracked",
           "!!VP1.0\n"
           "DP4 o[HPOS].x, c[0], v[OPOS];\nDP4 o[HPOS].y, c[1], v[OPOS];\n"
           "DP4 o[HPOS].z, c[2], v[OPOS];\nDP4 o[HPOS].w, c[3], v[OPOS];\n"
           "DP4 R0.x, c[4], v[1];\nDP4 R0.y, c[5], v[1];\nDP4 R0.z, c[6], v[1];\nDP4 R0.w, c[7], v[1];\n"
           "MOV o[TEX0], R0;\n"
           "MOV o[TEX1], c[8];\nMOV o[TEX2], c[9];\nMOV o[TEX3], c[11];\n"
           "MOV o[TEX4], c[12];\nMOV o[TEX5], c[13];\nMOV o[TEX6], c[15];\nMOV o[TEX7], c[18];\n"
           "END\n",
           1e-3f};
    EXPECT_EQ(runner.Run(c), 0);
}

// A text the translator refuses raises an error naming the program and line,
// and GL reports the failed load.
TEST(NvVertexProgramRender, RefusedTextRaisesAndSetsError) {
    NV_REQUIRE_GL();
    GLuint program = 0;
    GL.glGenProgramsNV(1, &program);
    std::string text = "!!VP1.1\nMOV R0, v[0];\nBAD R0, R0;\nEND";
    try {
        GL.glLoadProgramNV(GL_VERTEX_PROGRAM_NV, program, GLsizei(text.size()),
                           reinterpret_cast<const GLubyte*>(text.data()));
        ADD_FAILURE() << "no error";
    } catch (const ENvProgramError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Vertex program " + std::to_string(program) + ": line 3: unknown instruction 'BAD'");
    }
    EXPECT_EQ(GL.glGetError(), GLenum(GL_INVALID_OPERATION));
    GL.glDeleteProgramsNV(1, &program);
}
