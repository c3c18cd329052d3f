// Draws 10,000 small objects, each with its own combiner constant and its own
// vertex-program parameters, through the emulated NV entry points (the
// combiner state compiled to a cached fragment program, the NV program
// translated), and side by side with an equivalent hand-written ARB fragment
// and vertex program bound once, setting the same per-object parameters
// directly. Compares the CPU time of the two. The window is 4 x 4 so the
// rasterisation is small next to the per-draw work being measured.
#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"

namespace {

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

constexpr int kObjects = 10000;
constexpr int kRounds = 5;

// The lighting program of the objects: colour = primary * c[20] + c[21].
const char* kNvProgram = "!!VP1.1 OPTION NV_position_invariant;\n"
                         "MAD o[COL0], v[COL0], c[20], c[21];\nMOV o[TEX0], v[TEX0];\nEND\n";
const char* kArbVertex = "!!ARBvp1.0\nOPTION ARB_position_invariant;\n"
                         "MAD result.color, vertex.color, program.env[20], program.env[21];\n"
                         "MOV result.texcoord[0], vertex.texcoord[0];\nEND\n";
// The combiners: spare0 = primary * const0 + secondary * const1; final spare0.
const char* kArbFragment = "!!ARBfp1.0\nTEMP t;\n"
                           "MUL t, fragment.color.primary, program.env[0];\n"
                           "MAD_SAT result.color, fragment.color.secondary, program.env[1], t;\nEND\n";

void SetUpCombiners() {
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 1);
    GL.glCombinerInputNV(GL_COMBINER0_NV, GL_RGB, GL_VARIABLE_A_NV, GL_PRIMARY_COLOR_NV,
                         GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glCombinerInputNV(GL_COMBINER0_NV, GL_RGB, GL_VARIABLE_B_NV, GL_CONSTANT_COLOR0_NV,
                         GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glCombinerInputNV(GL_COMBINER0_NV, GL_RGB, GL_VARIABLE_C_NV, GL_SECONDARY_COLOR_NV,
                         GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glCombinerInputNV(GL_COMBINER0_NV, GL_RGB, GL_VARIABLE_D_NV, GL_CONSTANT_COLOR1_NV,
                         GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glCombinerOutputNV(GL_COMBINER0_NV, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV, GL_NONE,
                          GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
    GL.glFinalCombinerInputNV(GL_VARIABLE_A_NV, GL_ZERO, GL_UNSIGNED_INVERT_NV, GL_RGB);
    GL.glFinalCombinerInputNV(GL_VARIABLE_B_NV, GL_SPARE0_NV, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glFinalCombinerInputNV(GL_VARIABLE_C_NV, GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    GL.glFinalCombinerInputNV(GL_VARIABLE_D_NV, GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
}

float quad[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

double Emulated(GLuint program) {
    SetUpCombiners();
    GL.glEnable(GL_REGISTER_COMBINERS_NV);
    GL.glEnable(GL_VERTEX_PROGRAM_NV);
    GL.glBindProgramNV(GL_VERTEX_PROGRAM_NV, program);
    GL.glVertexAttribPointerNV(0, 2, GL_FLOAT, 0, quad);
    GL.glEnableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV);
    float one[4] = {0.1f, 0.1f, 0.1f, 1};
    GL.glCombinerParameterfvNV(GL_CONSTANT_COLOR1_NV, one);
    GL.glDrawArrays(GL_QUADS, 0, 4); // first draw compiles; not measured
    GL.glFinish();
    double start = CpuSeconds();
    for (int round = 0; round < kRounds; round++) {
        for (int i = 0; i < kObjects; i++) {
            float f = float(i % 256) / 255.0f;
            float c0[4] = {f, 1 - f, 0.5f, 1};
            GL.glCombinerParameterfvNV(GL_CONSTANT_COLOR0_NV, c0);
            GL.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, 20, f, f, f, 1);
            GL.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, 21, 0, 0.1f * f, 0, 0);
            GL.glDrawArrays(GL_QUADS, 0, 4);
        }
        GL.glFinish();
    }
    double t = CpuSeconds() - start;
    GL.glDisableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV);
    GL.glDisable(GL_VERTEX_PROGRAM_NV);
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    return t;
}

double HandWritten(PFNGLPROGRAMENVPARAMETER4FVARBPROC env, PFNGLPROGRAMENVPARAMETER4FARBPROC env4, GLuint vp,
                   GLuint fp, PFNGLBINDPROGRAMARBPROC bind) {
    GL.glEnable(GL_VERTEX_PROGRAM_ARB);
    GL.glEnable(GL_FRAGMENT_PROGRAM_ARB);
    bind(GL_VERTEX_PROGRAM_ARB, vp);
    bind(GL_FRAGMENT_PROGRAM_ARB, fp);
    GL.glVertexPointer(2, GL_FLOAT, 0, quad);
    GL.glEnableClientState(GL_VERTEX_ARRAY);
    float one[4] = {0.1f, 0.1f, 0.1f, 1};
    env(GL_FRAGMENT_PROGRAM_ARB, 1, one);
    GL.glDrawArrays(GL_QUADS, 0, 4);
    GL.glFinish();
    double start = CpuSeconds();
    for (int round = 0; round < kRounds; round++) {
        for (int i = 0; i < kObjects; i++) {
            float f = float(i % 256) / 255.0f;
            float c0[4] = {f, 1 - f, 0.5f, 1};
            env(GL_FRAGMENT_PROGRAM_ARB, 0, c0);
            env4(GL_VERTEX_PROGRAM_ARB, 20, f, f, f, 1);
            env4(GL_VERTEX_PROGRAM_ARB, 21, 0, 0.1f * f, 0, 0);
            GL.glDrawArrays(GL_QUADS, 0, 4);
        }
        GL.glFinish();
    }
    double t = CpuSeconds() - start;
    GL.glDisableClientState(GL_VERTEX_ARRAY);
    GL.glDisable(GL_VERTEX_PROGRAM_ARB);
    GL.glDisable(GL_FRAGMENT_PROGRAM_ARB);
    return t;
}

GLuint ArbProgram(GLenum target, const char* text) {
    auto gen = reinterpret_cast<PFNGLGENPROGRAMSARBPROC>(SDL_GL_GetProcAddress("glGenProgramsARB"));
    auto bind = reinterpret_cast<PFNGLBINDPROGRAMARBPROC>(SDL_GL_GetProcAddress("glBindProgramARB"));
    auto load = reinterpret_cast<PFNGLPROGRAMSTRINGARBPROC>(SDL_GL_GetProcAddress("glProgramStringARB"));
    GLuint id = 0;
    gen(1, &id);
    bind(target, id);
    load(target, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(std::string(text).size()), text);
    return id;
}

} // namespace

int main() {
    setenv("ZUMBRIX_EMULATE_NV", "1", 1);
    // Rasterise on the calling thread so the CPU time is the drawing work alone.
    setenv("LP_NUM_THREADS", "0", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 4, 4, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 1;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return 1;
    LoadLibraries();
    ProbeExtensions(nullptr);
    if (!NvCombinersEmulated() || !NvVertexProgramsEmulated()) {
        std::fprintf(stderr, "the NV emulation is not available on this driver\n");
        return 1;
    }
    GL.glViewport(0, 0, 4, 4);
    GLuint nv = 0;
    GL.glGenProgramsNV(1, &nv);
    GL.glLoadProgramNV(GL_VERTEX_PROGRAM_NV, nv, GLsizei(std::string(kNvProgram).size()),
                       reinterpret_cast<const GLubyte*>(kNvProgram));
    GLuint vp = ArbProgram(GL_VERTEX_PROGRAM_ARB, kArbVertex);
    GLuint fp = ArbProgram(GL_FRAGMENT_PROGRAM_ARB, kArbFragment);
    auto env = reinterpret_cast<PFNGLPROGRAMENVPARAMETER4FVARBPROC>(
        SDL_GL_GetProcAddress("glProgramEnvParameter4fvARB"));
    auto env4 = reinterpret_cast<PFNGLPROGRAMENVPARAMETER4FARBPROC>(
        SDL_GL_GetProcAddress("glProgramEnvParameter4fARB"));
    auto bind = reinterpret_cast<PFNGLBINDPROGRAMARBPROC>(SDL_GL_GetProcAddress("glBindProgramARB"));
    // Alternate the two so that warm-up and caches treat them alike, and keep
    // the best pass of each: the machine is shared, the minimum is the most
    // repeatable figure.
    double emulated = 1e30, hand = 1e30;
    for (int pass = 0; pass < 6; pass++) {
        emulated = std::min(emulated, Emulated(nv));
        hand = std::min(hand, HandWritten(env, env4, vp, fp, bind));
    }
    int compiled = NvEmulationGetStats().programsCompiled;
    std::printf("objects per frame: %d, frames per pass: %d, best of 6 passes\n", kObjects, kRounds);
    std::printf("fragment programs compiled: %d\n", compiled);
    std::printf("emulated NV path: %.3f ms CPU per frame\n", emulated * 1000.0 / kRounds);
    std::printf("hand-written ARB path: %.3f ms CPU per frame\n", hand * 1000.0 / kRounds);
    std::printf("emulated/hand-written CPU time ratio: %.3f\n", emulated / hand);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
