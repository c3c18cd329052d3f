// The scene writer: our own exporter of scene files.
#include "scene/loader/Y3dFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Format.h"

namespace {

// Builds one chunk: its own data, then its children.
class TChunkBuilder {
public:
    void I32(int32_t v) { U32(uint32_t(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes_.push_back(uint8_t(v >> (8 * i)));
    }
    void F32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(v);
    }
    void Floats(const float* f, size_t n) {
        for (size_t i = 0; i < n; i++)
            F32(f[i]);
    }
    void Bytes(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + n);
    }
    void Header(const TY3dNodeHeader& h) {
        I32(h.Id);
        I32(h.Parent);
        I32(h.Reference);
        I32(int32_t(h.Name.size()));
        Bytes(h.Name.data(), h.Name.size());
    }
    // Appends the chunk (header, own data, children) to out.
    void Finish(std::vector<uint8_t>& out, uint32_t kind, uint32_t version,
                const std::vector<uint8_t>& children = {}) const {
        TChunkHeader h;
        h.magic = kChunkMagic;
        h.kind = kind;
        h.version = version;
        h.size = uint32_t(bytes_.size());
        h.totalSize = uint32_t(kChunkHeaderSize + bytes_.size() + children.size());
        WriteChunkHeader(out, h);
        out.insert(out.end(), bytes_.begin(), bytes_.end());
        out.insert(out.end(), children.begin(), children.end());
    }
    size_t Size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

void WriteScene(std::vector<uint8_t>& out, const TY3dSceneColors& c) {
    TChunkBuilder b;
    for (int i = 0; i < 4; i++)
        b.U32(0);
    b.Floats(c.Background, 3);
    b.Floats(c.Ambient, 3);
    b.Finish(out, kChunkScene, kVersion11);
}

void WriteNode(std::vector<uint8_t>& out, const TY3dNode& n) {
    TChunkBuilder b;
    b.Header(n.Header);
    b.Floats(n.Translation, 3);
    b.Floats(n.Rotation, 4);
    b.Floats(n.Scale, 3);
    if (n.Version >= kVersion202) {
        b.Floats(n.PivotTranslation, 3);
        b.Floats(n.PivotRotation, 4);
    }
    b.Finish(out, kChunkNode, n.Version);
}

void WriteTrack(std::vector<uint8_t>& out, const TY3dTrack& t) {
    TChunkBuilder b;
    b.I32(0);
    b.I32(t.NodeId);
    b.I32(t.Kind);
    b.I32(t.HasKeys ? 1 : 0);
    b.I32(t.FloatsPerKey);
    if (t.HasKeys) {
        int32_t per = t.FloatsPerKey > 0 ? t.FloatsPerKey : 1;
        b.I32(int32_t(t.Keys.size() / size_t(per)));
        b.I32(t.Step);
        b.Floats(t.Keys.data(), t.Keys.size() / size_t(per) * size_t(per));
    }
    b.Finish(out, kChunkTrack, kVersion11);
}

void WriteMesh(std::vector<uint8_t>& out, const TY3dMesh& m) {
    const size_t floats = size_t(m.VertexCount) * size_t(VertexFloats(m.Flags));
    if (m.Vertices.size() != floats)
        throw Exception(Format("Mesh %s: %zu vertex floats given where %d vertices of format 0x%x need %zu",
                               m.Header.Name.c_str(), m.Vertices.size(), m.VertexCount, m.Flags, floats));
    TChunkBuilder b;
    b.Header(m.Header);
    b.Floats(m.Pivot, 7);
    b.I32(m.Flags);
    b.I32(m.VertexCount);
    b.I32(int32_t(m.Indices.size()));
    b.I32(int32_t(m.Groups.size()));
    b.Floats(m.Vertices.data(), m.Vertices.size());
    for (uint32_t i : m.Indices)
        b.U32(i);
    for (const TY3dGroup& g : m.Groups) {
        b.I32(g.Primitive);
        b.I32(g.Material);
        b.I32(g.First);
        b.I32(g.Count);
    }
    b.Finish(out, kChunkMesh, kVersion11);
}

void WriteCamera(std::vector<uint8_t>& out, const TY3dCamera& c) {
    TChunkBuilder b;
    b.Header(c.Header);
    b.F32(c.Fov);
    b.F32(c.Far);
    b.F32(c.Near);
    b.F32(c.TargetDistance);
    b.Finish(out, kChunkCamera, kVersion11);
}

void WriteLight(std::vector<uint8_t>& out, const TY3dLight& l) {
    TChunkBuilder b;
    b.Header(l.Header);
    // 24 words; the ones the format gives no meaning stay 0.
    uint32_t words[24] = {};
    auto f = [&](int i, float v) { std::memcpy(&words[i], &v, 4); };
    words[2] = l.Spot ? 1 : 0;
    f(4, l.Color[0]);
    f(5, l.Color[1]);
    f(6, l.Color[2]);
    f(7, l.Intensity);
    words[10] = l.AffectsDiffuse ? 1 : 0;
    words[11] = l.AffectsSpecular ? 1 : 0;
    f(13, l.ShadowNear);
    f(14, l.ShadowFar);
    f(16, l.Cone);
    words[18] = l.CastsShadows ? 1 : 0;
    for (uint32_t w : words)
        b.U32(w);
    b.Finish(out, kChunkLight, kVersion11);
}

void WriteMaterial(std::vector<uint8_t>& out, const TY3dMaterial& m) {
    TChunkBuilder b;
    b.Header(m.Header);
    b.I32(3);
    b.I32(m.TwoSided ? 1 : 0);
    b.I32(0);
    b.I32(0);
    b.Floats(m.Ambient, 4);
    b.Floats(m.Diffuse, 4);
    b.Floats(m.Specular, 4);
    b.Floats(m.Emissive, 4);
    b.F32(m.Glossiness);
    b.F32(m.SpecularLevel);
    b.F32(0.0f);
    b.F32(0.0f);
    if (m.Version >= kVersion12)
        for (int i = 0; i < 5; i++)
            b.U32(0);
    std::vector<uint8_t> children;
    for (const TY3dMap& map : m.Maps) {
        TChunkBuilder c;
        c.I32(map.Type);
        c.I32(map.Texture);
        for (int i = 0; i < 4; i++)
            c.F32(0.0f);
        c.F32(map.Amount);
        c.Finish(children, kChunkMap, kVersion12);
    }
    b.Finish(out, kChunkMaterial, m.Version, children);
}

void WritePicture(std::vector<uint8_t>& out, const TY3dPicture& p) {
    TChunkBuilder b;
    b.Header(p.Header);
    b.I32(p.Embedded ? 1 : 0);
    if (p.Embedded) {
        const size_t bytes = size_t(p.Width) * size_t(p.Height) * size_t(p.BytesPerPixel);
        if (p.Width <= 0 || p.Height <= 0 || p.Pixels.size() != bytes)
            throw Exception(Format("Picture %s: %zu pixel bytes given for %d x %d x %d",
                                   p.Header.Name.c_str(), p.Pixels.size(), p.Width, p.Height,
                                   p.BytesPerPixel));
        b.I32(p.Width);
        b.I32(p.Height);
        b.I32(p.BytesPerPixel);
        b.I32(p.BitsPerChannel);
        b.Bytes(p.Pixels.data(), p.Pixels.size());
    }
    b.Finish(out, kChunkPicture, kVersion11);
}

} // namespace

std::vector<uint8_t> WriteY3d(const TY3dDocument& document) {
    std::vector<uint8_t> out;
    WriteScene(out, document.Colors);
    for (const TY3dObject& o : document.Objects) {
        WriteNode(out, o.Node);
        switch (o.What) {
        case TY3dObject::okMesh:
            WriteMesh(out, o.Mesh);
            break;
        case TY3dObject::okCamera:
            WriteCamera(out, o.Camera);
            break;
        case TY3dObject::okLight:
            WriteLight(out, o.Light);
            break;
        case TY3dObject::okHelper: {
            TChunkBuilder b;
            b.Header(o.Helper);
            b.Finish(out, kChunkHelper, kVersion11);
            break;
        }
        case TY3dObject::okNodeOnly:
            break;
        }
        if (o.Track) WriteTrack(out, *o.Track);
    }
    for (const TY3dPicture& p : document.Pictures)
        WritePicture(out, p);
    for (const TY3dMaterial& m : document.Materials)
        WriteMaterial(out, m);
    return out;
}

void SaveY3dFile(const TY3dDocument& document, const std::string& path) {
    std::vector<uint8_t> bytes = WriteY3d(document);
    const std::string temporary = path + ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) throw Exception(Format("Cannot write %s", path.c_str()));
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file.flush()) {
            file.close();
            std::remove(temporary.c_str());
            throw Exception(Format("Cannot write %s", path.c_str()));
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        throw Exception(Format("Cannot write %s: %s", path.c_str(), error.message().c_str()));
    }
}
