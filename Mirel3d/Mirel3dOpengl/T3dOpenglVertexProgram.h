// T3dOpenglVertexProgram: one NV vertex program object and its table of 96
// parameter registers, written to the driver whenever the program is
// selected (device SetVertexProgram → ApplyParameters).
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The GL program objects of one device, by program text. The scenes each load
// the same programs, and the driver compiles each program as it is loaded
// (the costliest step of a scene's start-up on llvmpipe): programs with the
// same text share one object. Sharing is safe because a program object holds
// nothing but its code: the parameter registers are the driver's global ones,
// written from each program's own table when it is selected.
struct TVertexProgramShare {
    struct TEntry {
        std::string Text;
        uint32_t Id = 0;
        int Users = 0;
    };
    std::vector<TEntry> Entries;

    TEntry* FindText(const std::string& text);
    TEntry* FindId(uint32_t id);
    void Remove(TEntry* entry);
};

class T3dOpenglVertexProgram : public TInterfacedObject,
                               public I3dVertexProgram,
                               public I3dOpenglVertexProgram {
public:
    static constexpr int kRegisters = 96;

    // One parameter register.
    struct TParameterSlot {
        bool Used = false;
        uint8_t Kind = 0;      // 0 constant vector, 1 tracked matrix
        uint8_t Matrix = 0;    // T3dMatrixKind
        uint8_t Transform = 0; // 0 identity, 1 transpose, 2 inverse, 3 inverse transpose
        float x = 0, y = 0, z = 0, w = 0;
    };

    // Makes the GL program name with glGenProgramsNV(1); all registers free.
    T3dOpenglVertexProgram();
    ~T3dOpenglVertexProgram() override;

    // I3dVertexProgram
    void TranslateSource(const char* text) override;
    void LoadProgram(const void* data, int32_t byteCount) override;
    void LoadFromFile(const char* name) override;
    void ApplyParameters() override;
    void TrackMatrix(int32_t reg, T3dMatrixKind kind, int32_t transform) override;
    void SetMatrixParameter(int32_t reg, const T3dMatrix& m) override;
    void SetVectorParameter(int32_t reg, const float v[4]) override;
    void SetVector(int32_t reg, float x, float y, float z, float w) override;

    // I3dOpenglVertexProgram
    uint32_t GetProgramId() override { return ProgramId; }

    const TParameterSlot& Register(int i) const { return Registers[i]; }

    uint32_t ProgramId = 0;
    TParameterSlot Registers[kRegisters];
    // The device's shared program objects (null for a program made without a device).
    std::shared_ptr<TVertexProgramShare> Share;

private:
    // Stops sharing ProgramId: keeps it when no other program uses it,
    // otherwise takes a fresh program name of its own.
    void LeaveShare();
};

// The device's factory for vertex programs (installed as GVertexProgramFactory).
void CreateOpenglVertexProgram(I3dDevice* device, TRefPtr<I3dVertexProgram>& out);
