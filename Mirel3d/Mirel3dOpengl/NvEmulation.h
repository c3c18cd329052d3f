// NV register combiners and NV vertex programs on drivers that lack them.
//
// InstallNvEmulation, called by the extension probe, decides per extension:
// where the driver lists GL_NV_register_combiners / GL_NV_vertex_program the
// native entry points stay; elsewhere (or always with ZUMBRIX_EMULATE_NV=1)
// our own functions take their places in the entry-point table. They record
// the state per GL context; combiners become a generated ARB fragment program
// and NV vertex programs are translated to ARB vertex programs.
//
// The emulation also wraps glEnable, glDisable, glIsEnabled, glGetError,
// glPushAttrib, glPopAttrib, glBindTexture, glTexParameteri, glDeleteTextures
// (to know which units hold depth textures that compare), the client-state
// switches and every draw call of
// the table, so that before each draw the generated fragment program is bound
// with its constants and the tracked matrices are refreshed. Callers that draw
// through the table need nothing else; code that draws with GL directly calls
// NvEmulationBeforeDraw() first.
#pragma once

struct T3dGLEntryPoints;
struct T3dGLFlags;

void InstallNvEmulation(T3dGLEntryPoints& gl, T3dGLFlags& flags);

// True when the emulation, not the driver, provides the extension.
bool NvCombinersEmulated();
bool NvVertexProgramsEmulated();

// Brings the generated fragment program, its constants and the tracked
// matrices up to date for the current context. Cheap when nothing changed.
void NvEmulationBeforeDraw();

// Forgets what the emulation recorded for a GL context that is being
// destroyed (its programs go with it), so a later context at the same
// address starts fresh.
void NvEmulationContextDestroyed(void* glContext);

// The combiner state the emulation recorded for the current context (null
// when the combiners are the driver's own), for tests that compare it with
// a model of the combiners.
struct NvCombinerState;
const NvCombinerState* NvEmulationCombinerState();

// Counters for tests and benchmarks: fragment programs compiled so far, the
// number currently cached for the current context, and vertex programs
// translated and loaded so far.
struct NvEmulationStats {
    int programsCompiled;
    int programsCached;
    int vertexProgramsLoaded;
};
NvEmulationStats NvEmulationGetStats();

// The last fragment program text generated for the current context (empty
// when none), for diagnostics.
const char* NvEmulationLastProgramText();
