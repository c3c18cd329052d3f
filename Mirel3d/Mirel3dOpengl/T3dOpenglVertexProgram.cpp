#include "Mirel3d/Mirel3dOpengl/T3dOpenglVertexProgram.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "Mirel3d/Mirel3dOpengl/NvidiaVertexProgram.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "data/FlexibleStream.h"
#include "platform/Format.h"

#include <cstring>
#include <vector>

namespace {

GLenum MatrixSource(uint8_t kind) {
    if (kind == mkComposed) return GL_MODELVIEW_PROJECTION_NV;
    if (kind == mkProjection) return GL_PROJECTION;
    if (kind >= mkModelview && kind <= mkModelview3) return GL_MODELVIEW;
    if (kind >= mkTexture0 && kind < mkTexture0 + 8) return GL_TEXTURE0_ARB + (kind - mkTexture0);
    return GL_NONE; // mkNone: no matrix
}

GLenum TransformOf(uint8_t transform) {
    switch (transform) {
    case 1:
        return GL_TRANSPOSE_NV;
    case 2:
        return GL_INVERSE_NV;
    case 3:
        return GL_INVERSE_TRANSPOSE_NV;
    default:
        return GL_IDENTITY_NV;
    }
}

bool InRange(int32_t reg) {
    return reg >= 0 && reg < T3dOpenglVertexProgram::kRegisters;
}

} // namespace

T3dOpenglVertexProgram::T3dOpenglVertexProgram() {
    if (GL.glGenProgramsNV) {
        GLuint id = 0;
        GL.glGenProgramsNV(1, &id);
        ProgramId = id;
    }
}

TVertexProgramShare::TEntry* TVertexProgramShare::FindText(const std::string& text) {
    for (TEntry& e : Entries)
        if (e.Text == text) return &e;
    return nullptr;
}

TVertexProgramShare::TEntry* TVertexProgramShare::FindId(uint32_t id) {
    for (TEntry& e : Entries)
        if (e.Id == id) return &e;
    return nullptr;
}

void TVertexProgramShare::Remove(TEntry* entry) {
    Entries.erase(Entries.begin() + (entry - Entries.data()));
}

T3dOpenglVertexProgram::~T3dOpenglVertexProgram() {
    // A shared program object stays while other programs use it.
    if (TVertexProgramShare::TEntry* e = Share ? Share->FindId(ProgramId) : nullptr) {
        if (--e->Users > 0) return;
        Share->Remove(e);
    }
    // The program object goes with its last reference (when a context is still current).
    if (ProgramId && GL.glDeleteProgramsNV) {
        GLuint id = ProgramId;
        GL.glDeleteProgramsNV(1, &id);
    }
}

void T3dOpenglVertexProgram::TranslateSource(const char* text) {
    if (!text) return;
    TReadOnlyMemoryStream stream(text, int64_t(std::strlen(text)));
    TNvidiaVertexProgram::TranslateToDebug(stream);
}

void T3dOpenglVertexProgram::LeaveShare() {
    TVertexProgramShare::TEntry* e = Share ? Share->FindId(ProgramId) : nullptr;
    if (!e) return;
    if (e->Users == 1) {
        Share->Remove(e);
        return;
    }
    e->Users--;
    GLuint id = 0;
    if (GL.glGenProgramsNV) GL.glGenProgramsNV(1, &id);
    ProgramId = id;
}

void T3dOpenglVertexProgram::LoadProgram(const void* data, int32_t byteCount) {
    if (!GL.glLoadProgramNV) return; // no vertex programs on this driver
    std::string text;
    if (Share && data && byteCount > 0) {
        LeaveShare();
        text.assign(static_cast<const char*>(data), size_t(byteCount));
        if (TVertexProgramShare::TEntry* e = Share->FindText(text)) {
            // The same program is loaded already: use its object.
            if (ProgramId && GL.glDeleteProgramsNV) {
                GLuint own = ProgramId;
                GL.glDeleteProgramsNV(1, &own);
            }
            ProgramId = e->Id;
            e->Users++;
            return;
        }
    }
    GL.glLoadProgramNV(GL_VERTEX_PROGRAM_NV, ProgramId, byteCount, static_cast<const GLubyte*>(data));
    CheckGLError<Exception>("fel");
    if (!text.empty() && ProgramId) Share->Entries.push_back({std::move(text), ProgramId, 1});
}

void T3dOpenglVertexProgram::LoadFromFile(const char* name) {
    TFlexibleStream stream(name);
    int64_t size = stream.GetSize();
    std::vector<uint8_t> block(size_t(size > 0 ? size : 0) + 1, 0);
    if (size > 0) stream.ReadBuffer(block.data(), size);
    try {
        LoadProgram(block.data(), int32_t(size));
    } catch (const ENvProgramError& e) {
        // The emulation names the line; add the file it came from.
        throw ENvProgramError(Format("%s: %s", name, e.what()));
    }
}

void T3dOpenglVertexProgram::ApplyParameters() {
    if (!GL.glProgramParameter4fNV || !GL.glTrackMatrixNV) return;
    for (int i = 0; i < kRegisters; i++) {
        const TParameterSlot& r = Registers[i];
        if (!r.Used) continue;
        if (r.Kind == 0)
            GL.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, GLuint(i), r.x, r.y, r.z, r.w);
        else
            GL.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, GLuint(i), MatrixSource(r.Matrix),
                               TransformOf(r.Transform));
    }
}

void T3dOpenglVertexProgram::TrackMatrix(int32_t reg, T3dMatrixKind kind, int32_t transform) {
    // A tracked matrix fills four registers starting at a multiple of four;
    // anything else has no register block to fill and is ignored.
    if (!InRange(reg) || reg % 4 != 0) return;
    TParameterSlot& r = Registers[reg];
    r.Used = true;
    r.Kind = 1;
    r.Matrix = uint8_t(kind);
    r.Transform = uint8_t(transform >= 0 && transform <= 3 ? transform : 0);
}

void T3dOpenglVertexProgram::SetMatrixParameter(int32_t reg, const T3dMatrix& m) {
    if (!InRange(reg) || !InRange(reg + 3)) return; // the four rows would not fit the table
    for (int r = 0; r < 4; r++)
        SetVector(reg + r, m.m[r], m.m[r + 4], m.m[r + 8], m.m[r + 12]);
}

void T3dOpenglVertexProgram::SetVectorParameter(int32_t reg, const float v[4]) {
    SetVector(reg, v[0], v[1], v[2], v[3]);
}

void T3dOpenglVertexProgram::SetVector(int32_t reg, float x, float y, float z, float w) {
    if (!InRange(reg)) return;
    TParameterSlot& r = Registers[reg];
    r.Used = true;
    r.Kind = 0;
    r.x = x;
    r.y = y;
    r.z = z;
    r.w = w;
}

void CreateOpenglVertexProgram(I3dDevice* device, TRefPtr<I3dVertexProgram>& out) {
    TRefPtr<T3dOpenglVertexProgram> program(new T3dOpenglVertexProgram());
    if (auto* gl = dynamic_cast<T3dOpenGLDevice*>(device)) {
        if (!gl->VertexProgramShare) gl->VertexProgramShare = std::make_shared<TVertexProgramShare>();
        program->Share = gl->VertexProgramShare;
    }
    out = TRefPtr<I3dVertexProgram>(program.Get());
}
