#include "Mirel3d/Mirel3dOpengl/PixelWork.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

namespace {

struct TQuery {
    GLuint id = 0;
    TPixelWorkKind kind = pwOpaque;
};

bool enabled = false;
bool queriesUsable = false;
int32_t depth = 0; // scopes open, the outermost holding the query
// The queries of the frame: the first `used` of the pool, made once and
// used again every frame.
std::vector<TQuery> pool;
size_t used = 0;
TPixelWorkCounts frame;

// The draw entry points before counting wrapped them.
decltype(T3dGLEntryPoints::glDrawElements) drawElements = nullptr;
decltype(T3dGLEntryPoints::glDrawArrays) drawArrays = nullptr;
decltype(T3dGLEntryPoints::glDrawRangeElementsEXT) drawRangeElements = nullptr;
decltype(T3dGLEntryPoints::glBegin) begin = nullptr;
decltype(T3dGLEntryPoints::glCallList) callList = nullptr;
decltype(T3dGLEntryPoints::glCallLists) callLists = nullptr;

void APIENTRY CountDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    frame.DrawCalls++;
    drawElements(mode, count, type, indices);
}
void APIENTRY CountDrawArrays(GLenum mode, GLint first, GLsizei count) {
    frame.DrawCalls++;
    drawArrays(mode, first, count);
}
void APIENTRY CountDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                                     const void* indices) {
    frame.DrawCalls++;
    drawRangeElements(mode, start, end, count, type, indices);
}
void APIENTRY CountBegin(GLenum mode) {
    frame.DrawCalls++;
    begin(mode);
}
void APIENTRY CountCallList(GLuint list) {
    frame.DrawCalls++;
    callList(list);
}
void APIENTRY CountCallLists(GLsizei n, GLenum type, const void* lists) {
    frame.DrawCalls++;
    callLists(n, type, lists);
}

// Puts the counting wrappers into the table (or the saved pointers back).
template <class T> void Wrap(T& entry, T& saved, T wrapper, bool on) {
    if (on) {
        if (!entry || entry == wrapper) return;
        saved = entry;
        entry = wrapper;
    } else if (entry == wrapper) {
        entry = saved;
    }
}

void WrapDraws(bool on) {
    Wrap(GL.glDrawElements, drawElements, &CountDrawElements, on);
    Wrap(GL.glDrawArrays, drawArrays, &CountDrawArrays, on);
    Wrap(GL.glDrawRangeElementsEXT, drawRangeElements, &CountDrawRangeElements, on);
    Wrap(GL.glBegin, begin, &CountBegin, on);
    Wrap(GL.glCallList, callList, &CountCallList, on);
    Wrap(GL.glCallLists, callLists, &CountCallLists, on);
}

} // namespace

void TPixelWorkCounts::Add(const TPixelWorkCounts& other) {
    for (int k = 0; k < pwKindCount; k++) {
        Fragments[k] += other.Fragments[k];
        TargetPixels[k] += other.TargetPixels[k];
        Scopes[k] += other.Scopes[k];
    }
    Passes += other.Passes;
    DrawCalls += other.DrawCalls;
    Frames += other.Frames;
}

double TPixelWorkCounts::MainViewPerPixel(uint64_t screenPixels) const {
    if (Frames == 0 || screenPixels == 0) return 0.0;
    const uint64_t sum = Fragments[pwOpaque] + Fragments[pwBlended] + Fragments[pwBackground];
    return double(sum) / (double(screenPixels) * double(Frames));
}

double TPixelWorkCounts::PerTargetPixel(TPixelWorkKind kind) const {
    return TargetPixels[kind] ? double(Fragments[kind]) / double(TargetPixels[kind]) : 0.0;
}

bool PixelWorkEnable(bool on) {
    if (on == enabled) return queriesUsable;
    if (!on && queriesUsable && GL.glDeleteQueriesARB)
        for (TQuery& q : pool)
            GL.glDeleteQueriesARB(1, &q.id);
    if (!on) {
        pool.clear();
        used = 0;
    }
    enabled = on;
    queriesUsable = on && GL.glGenQueriesARB && GL.glBeginQueryARB && GL.glEndQueryARB &&
                    GL.glGetQueryObjectuivARB && GL.glDeleteQueriesARB;
    depth = 0;
    frame = TPixelWorkCounts{};
    WrapDraws(on);
    return queriesUsable;
}

namespace {
int8_t drawAllWork = -1; // -1: not read from the environment yet
} // namespace

bool DrawAllWork() {
    if (drawAllWork < 0) {
        const char* v = std::getenv("ZUMBRIX_DRAW_ALL_WORK");
        drawAllWork = v && std::strcmp(v, "1") == 0 ? 1 : 0;
    }
    return drawAllWork == 1;
}

void SetDrawAllWork(bool on) {
    drawAllWork = on ? 1 : 0;
}

bool PixelWorkEnabled() {
    return enabled;
}

void PixelWorkCountPass() {
    frame.Passes++;
}

TPixelWorkScope::TPixelWorkScope(TPixelWorkKind kind, uint64_t targetPixels) {
    if (!enabled) return;
    open_ = true;
    if (depth++ > 0) return; // inside another scope: its work is the outer one's
    frame.TargetPixels[kind] += targetPixels;
    frame.Scopes[kind]++;
    if (!queriesUsable) return;
    if (used == pool.size()) {
        TQuery q;
        GL.glGenQueriesARB(1, &q.id);
        pool.push_back(q);
    }
    pool[used].kind = kind;
    GL.glBeginQueryARB(GL_SAMPLES_PASSED_ARB, pool[used].id);
}

TPixelWorkScope::~TPixelWorkScope() {
    if (!open_) return;
    if (--depth > 0) return;
    if (!queriesUsable) return;
    GL.glEndQueryARB(GL_SAMPLES_PASSED_ARB);
    used++;
}

TPixelWorkCounts PixelWorkTakeFrame() {
    TPixelWorkCounts taken = frame;
    for (size_t i = 0; i < used; i++) {
        GLuint samples = 0;
        GL.glGetQueryObjectuivARB(pool[i].id, GL_QUERY_RESULT_ARB, &samples);
        taken.Fragments[pool[i].kind] += samples;
    }
    taken.Frames = 1;
    used = 0;
    frame = TPixelWorkCounts{};
    return taken;
}

uint64_t PixelWorkPassesSoFar() {
    return frame.Passes;
}

uint64_t PixelWorkDrawCallsSoFar() {
    return frame.DrawCalls;
}
