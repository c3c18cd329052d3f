#include "scene/loader/SmartY3dLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "data/FlexibleStream.h"
#include "platform/Format.h"
#include "scene/loader/Y3dFile.h"
#include "scene/math/Quaternion.h"
#include "scene/math/Vector.h"

// Reads the own data of one chunk, never past the chunk's end (nor the
// file's): running out raises ESceneFileError naming the chunk.
class TSmartY3dLoader::TChunkData {
public:
    TChunkData(TSmartY3dLoader& loader, TStream& stream, const TChunkHeader& header)
        : loader_(loader), stream_(stream), header_(header) {
        start_ = stream.GetPosition() - kChunkHeaderSize;
        end_ = std::min<int64_t>(start_ + int64_t(header.totalSize), loader.fileSize_);
    }

    int64_t Remaining() { return end_ - stream_.GetPosition(); }
    int64_t End() const { return end_; }

    void Bytes(void* out, int64_t count) {
        if (count < 0 || count > Remaining())
            Fail(Format("its data runs past its end (%lld more bytes needed at offset %lld)",
                        static_cast<long long>(count - Remaining()),
                        static_cast<long long>(stream_.GetPosition())));
        stream_.ReadBuffer(out, count);
    }
    int32_t I32() {
        uint8_t b[4];
        Bytes(b, 4);
        return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                       (uint32_t(b[3]) << 24));
    }
    float F32() {
        int32_t v = I32();
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    void Floats(float* out, int32_t n) {
        Bytes(out, int64_t(n) * 4);
        // The file is little-endian, as is every machine this runs on.
    }
    void Skip(int64_t count) {
        if (count > Remaining()) Bytes(nullptr, count);
        stream_.SetPosition(stream_.GetPosition() + count);
    }

    // The node header that starts most chunks.
    void NodeHeader(Ts3dBase& element) {
        element.Id = I32();
        element.ParentId = I32();
        element.RefId = I32();
        int32_t length = I32();
        if (length < 0 || length > Remaining())
            Fail(Format("its name is %d bytes long, but only %lld bytes remain", length,
                        static_cast<long long>(Remaining())));
        element.Name.resize(size_t(length));
        if (length > 0) Bytes(element.Name.data(), length);
        // Names are text and picture names become file names: a zero byte in
        // a damaged name ends it, as it would end a file name, rather than
        // hiding everything a message says after the name.
        element.Name.resize(std::strlen(element.Name.c_str()));
        if (element.RefId < 0) element.RefId = element.Id;
    }

    // Raises ESceneFileError: "FILE: KIND chunk at offset N: what".
    [[noreturn]] void Fail(const std::string& what) const {
        throw ESceneFileError(Format("%s: %s chunk at offset %lld: %s", loader_.fileName_.c_str(),
                                     FourCCText(header_.kind).c_str(), static_cast<long long>(start_),
                                     what.c_str()));
    }

private:
    TSmartY3dLoader& loader_;
    TStream& stream_;
    TChunkHeader header_;
    int64_t start_ = 0;
    int64_t end_ = 0;
};

namespace {

// A rotation (quaternion stored x, y, z, w) and a translation as a matrix.
TMatrix4 NodeMatrix(const float translation[3], const float rotation[4]) {
    TMatrix4 m = TQuaternion::ToMatrix(TQuaternion::Make(rotation[3], rotation[0], rotation[1], rotation[2]));
    m.m[12] = translation[0];
    m.m[13] = translation[1];
    m.m[14] = translation[2];
    return m;
}

// The file name without its folder (either separator).
std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TColor4 Color(const float c[4]) {
    return {c[0], c[1], c[2], c[3]};
}

} // namespace

TSmartY3dLoader::TSmartY3dLoader(I3dDevice* device) : device_(device) {}

TSmartY3dLoader::~TSmartY3dLoader() {
    Textures.clear();
    Images.clear();
    scene_.reset();
}

void TSmartY3dLoader::RegisterSceneHandlers() {
    using namespace std::placeholders;
    auto plain = [this](TChunkContext (TSmartY3dLoader::*read)(TStream&, const TChunkHeader&)) {
        return [this, read](TStream& s, const TChunkHeader& h, TChunkContext) { return (this->*read)(s, h); };
    };
    reader_.RegisterChunkHandler(kChunkMagic, kChunkScene, kVersion11,
                                 plain(&TSmartY3dLoader::ReadSceneColors));
    // Version 1.1 nodes are registered only to be refused.
    for (uint32_t version : {kVersion11, kVersion201, kVersion202})
        reader_.RegisterChunkHandler(kChunkMagic, kChunkNode, version, plain(&TSmartY3dLoader::ReadNode));
    reader_.RegisterChunkHandler(kChunkMagic, kChunkTrack, kVersion11, plain(&TSmartY3dLoader::ReadTrack));
    reader_.RegisterChunkHandler(kChunkMagic, kChunkMesh, kVersion11, plain(&TSmartY3dLoader::ReadMesh));
    reader_.RegisterChunkHandler(kChunkMagic, kChunkCamera, kVersion11, plain(&TSmartY3dLoader::ReadCamera));
    reader_.RegisterChunkHandler(kChunkMagic, kChunkLight, kVersion11, plain(&TSmartY3dLoader::ReadLight));
    for (uint32_t version : {kVersion11, kVersion12})
        reader_.RegisterChunkHandler(kChunkMagic, kChunkMaterial, version,
                                     plain(&TSmartY3dLoader::ReadMaterial));
    reader_.RegisterChunkHandler(
        kChunkMagic, kChunkMap, kVersion12,
        [this](TStream& s, const TChunkHeader& h, TChunkContext parent) { return ReadMap(s, h, parent); });
    reader_.RegisterChunkHandler(kChunkMagic, kChunkPicture, kVersion11,
                                 plain(&TSmartY3dLoader::ReadPicture));
}

void TSmartY3dLoader::Reset() {
    Nodes.clear();
    Tracks.clear();
    Geometries.clear();
    Cameras.clear();
    Materials.clear();
    Images.clear();
    Lights.clear();
    Textures.clear();
    scene_ = std::make_unique<Ts3dScene>();
    scene_->Device = device_;
    scene_->Create();
    scene_->CreateResources();
}

void TSmartY3dLoader::Load(const std::string& fileName) {
    TFlexibleStream stream(fileName);
    if (!stream.HasSource())
        throw EFlexibleStreamError(Format("Couldn't open the file named %s", fileName.c_str()));
    LoadFromStream(stream, fileName);
}

void TSmartY3dLoader::LoadFromStream(TStream& stream, const std::string& displayName) {
    fileName_ = displayName;
    Reset();
    scene_->FileName = displayName;
    try {
        fileSize_ = stream.GetSize();
        reader_.LoadStream(stream);
        Link();
    } catch (const ESceneFileError&) {
        throw;
    } catch (const EListError&) {
        throw;
    } catch (const Exception& e) {
        // Errors of the chunk reader, the stream and the pictures a scene
        // refers to: the message names the scene file too.
        throw ESceneFileError(Format("%s: %s", fileName_.c_str(), e.what()));
    }
}

// ---- chunk handlers ----

TChunkContext TSmartY3dLoader::ReadSceneColors(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    data.Skip(16);
    float c[6];
    data.Floats(c, 6);
    scene_->BackgroundColor = {c[0], c[1], c[2], 0.0f};
    scene_->AmbientColor = {c[3], c[4], c[5], 0.0f};
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadNode(TStream& stream, const TChunkHeader& header) {
    if (header.version < kVersion201)
        throw ESceneFileError(
            Format("%s: %s", fileName_.c_str(), "prs version prior 2.01 no longer supported"));
    TChunkData data(*this, stream, header);
    auto node = std::make_unique<Ts3dFixedPosition>();
    data.NodeHeader(*node);
    float f[10];
    data.Floats(f, 10); // translation, rotation x, y, z, w, scale (not used)
    node->LocalMatrix = NodeMatrix(f, f + 3);
    if (header.version >= kVersion202) {
        float pivot[7];
        data.Floats(pivot, 7);
        node->PivotMatrix = NodeMatrix(pivot, pivot + 3);
    }
    Nodes.push_back(scene_->Own(std::move(node)));
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadTrack(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    data.I32();
    auto track = std::make_unique<Ts3dAnimPosition>();
    track->Id = data.I32();
    track->RefId = track->Id;
    const int32_t kind = data.I32();
    const int32_t hasKeys = data.I32();
    const int32_t perKey = data.I32();
    int32_t count = 0, step = 0;
    if (hasKeys == 1) {
        count = data.I32();
        step = data.I32();
    }
    if (kind == tkPositionKeys || kind == tkPositionRotationKeys) {
        const int32_t needed = kind == tkPositionKeys ? 3 : 7;
        if (count < 0) data.Fail(Format("its key count is %d", count));
        if (count > 0 && perKey < needed)
            data.Fail(
                Format("its keys hold %d floats, fewer than the %d of a kind %d key", perKey, needed, kind));
        // At most 2^62 floats: the product cannot overflow, the bytes could.
        const int64_t keyFloats = int64_t(count) * perKey;
        if (keyFloats > data.Remaining() / 4)
            data.Fail(Format("%d keys of %d floats need %.0f bytes, but only %lld remain", count, perKey,
                             double(keyFloats) * 4.0, static_cast<long long>(data.Remaining())));
        TAnim& position = track->PositionTrack;
        TAnim& rotation = track->RotationTrack;
        if (kind == tkPositionRotationKeys) {
            position.Kind = akCardinalSpline;
            position.AutoTangents = true;
            rotation.SetValueCount(4);
            rotation.Kind = akQuatSpline;
        } else {
            position.Kind = akTcbSpline;
        }
        // Keys may carry more floats than these kinds read: the rest is passed over.
        float key[7];
        TQuat previous = {};
        float sign = 1.0f;
        for (int32_t i = 0; i < count; i++) {
            data.Floats(key, needed);
            data.Skip(int64_t(perKey - needed) * 4);
            const float time = float(i) * float(step);
            TAnimKey* p = position.AddKey();
            p->Time = time;
            for (int32_t c = 0; c < 3; c++)
                p->Values[size_t(c)].Value = key[c];
            if (kind != tkPositionRotationKeys) continue;
            // Unit length through axis and angle; signs kept continuous so
            // that successive keys never lie in opposite hemispheres.
            float angle;
            TVector3 axis;
            TQuaternion::ToAxisAngle(TQuaternion::Make(key[6], key[3], key[4], key[5]), angle, axis);
            TQuat q = TQuaternion::FromAxisAngle(angle, axis.x, axis.y, axis.z);
            if (i > 0 && TQuaternion::Dot(q, previous) < 0.0) sign = -sign;
            previous = q;
            TAnimKey* r = rotation.AddKey();
            r->Time = time;
            r->Values[0].Value = q.x * sign;
            r->Values[1].Value = q.y * sign;
            r->Values[2].Value = q.z * sign;
            r->Values[3].Value = q.w * sign;
        }
    } else {
        // A kind this loader does not know: its keys, if any, are passed over.
        data.Skip(data.Remaining());
    }
    Tracks.push_back(scene_->Own(std::move(track)));
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadMesh(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    auto geometry = std::make_unique<Ts3dGeometryDef>();
    data.NodeHeader(*geometry);
    float pivot[7];
    data.Floats(pivot, 7);
    geometry->PivotMatrix = NodeMatrix(pivot, pivot + 3);
    const int32_t flags = data.I32();
    const int32_t vertexCount = data.I32();
    const int32_t indexCount = data.I32();
    const int32_t groupCount = data.I32();
    // Positions are read from floats 0-2 and normals from floats 3-5 of every
    // vertex, so both must be there.
    if ((flags & (vfPosition | vfNormal)) != (vfPosition | vfNormal))
        data.Fail(Format("its vertex format 0x%x lacks positions or normals", flags));
    if (vertexCount < 0 || indexCount < 0 || groupCount < 0)
        data.Fail(
            Format("it declares %d vertices, %d indices and %d groups", vertexCount, indexCount, groupCount));
    const int32_t floats = VertexFloats(flags);
    const int64_t needed =
        int64_t(vertexCount) * floats * 4 + int64_t(indexCount) * 4 + int64_t(groupCount) * 16;
    if (needed > data.Remaining())
        data.Fail(Format("%d vertices, %d indices and %d groups need %lld bytes, but only %lld remain",
                         vertexCount, indexCount, groupCount, static_cast<long long>(needed),
                         static_cast<long long>(data.Remaining())));

    // The vertices stay interleaved as in the file; the streams point into them.
    geometry->VertexBlock.reset(new float[size_t(vertexCount) * size_t(floats) + 1]);
    float* block = geometry->VertexBlock.get();
    data.Floats(block, vertexCount * floats);
    device_->CreateObjectBuffer(geometry->VertexBuffer);
    I3dObjectBuffer* buffer = geometry->VertexBuffer.Get();
    TRefPtr<I3dVertexBuffer> stream0, stream1, stream2;
    const int32_t stride = floats * 4;
    buffer->AddStreamStrided(vertexCount, 1, stream0, block, stride, 2);
    buffer->AddStreamStrided(vertexCount, 1, stream1, block + 3, stride, 2);
    geometry->PositionStream = 0;
    geometry->NormalStream = 1;
    if (flags & vfTexCoord) {
        buffer->AddStreamStrided(vertexCount, 1, stream2, block + 6, stride, 1);
        geometry->TexCoordStream = 2;
    }

    TRefPtr<I3dIndexBuffer> indices;
    buffer->AddIndexList(indexCount, nullptr, indices);
    if (indexCount > 0) {
        uint32_t* index = indices->IndexAddress(0);
        data.Bytes(index, int64_t(indexCount) * 4);
        for (int32_t i = 0; i < indexCount; i++)
            if (index[i] >= uint32_t(vertexCount))
                data.Fail(Format("index %d is %u, outside its %d vertices", i, index[i], vertexCount));
    }

    geometry->Faces->SetCapacity(groupCount);
    T3dPrimitiveKind primitive = pkTriangles; // for a first group of unknown primitive
    for (int32_t g = 0; g < groupCount; g++) {
        int32_t code = data.I32(), material = data.I32(), first = data.I32(), count = data.I32();
        if (code == 4 || code == 5 || code == 6) primitive = T3dPrimitiveKind(code);
        if (first < 0 || count < 0 || int64_t(first) + count > indexCount)
            data.Fail(Format("group %d covers indices %d to %lld, outside its %d indices", g, first,
                             static_cast<long long>(int64_t(first) + count - 1), indexCount));
        geometry->Faces->AddFaceGroup(first, count, primitive);
        geometry->MaterialIndex = material;
    }
    Geometries.push_back(scene_->Own(std::move(geometry)));
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadCamera(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    auto camera = std::make_unique<Ts3dcamera>();
    data.NodeHeader(*camera);
    camera->Fov = data.F32();
    camera->Far = data.F32();
    camera->Near = data.F32();
    camera->TargetDistance = data.F32();
    Cameras.push_back(scene_->Own(std::move(camera)));
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadLight(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    auto light = std::make_unique<TLoaderLight>();
    data.NodeHeader(*light);
    uint32_t words[24];
    data.Bytes(words, sizeof words);
    auto f = [&](int i) {
        float v;
        std::memcpy(&v, &words[i], 4);
        return v;
    };
    const float intensity = f(7);
    const TColor4 color = {f(4) * intensity, f(5) * intensity, f(6) * intensity, 0.0f};
    const TColor4 black = {0.0f, 0.0f, 0.0f, 0.0f};
    light->Diffuse = words[10] ? color : black;
    light->Specular = words[11] ? color : black;
    light->Ambient = TColors::Black;
    light->ShadowNear = f(13);
    light->ShadowFar = f(14);
    light->CastsShadows = words[18] != 0;
    if (words[2]) {
        // OpenGL takes cut-offs of 0 to 90 degrees and exponents of 0 to
        // 128; a cone outside what those express is brought inside.
        const float cone = f(16);
        const bool usable = std::isfinite(cone) && cone > 0.0f;
        light->CutOff = usable ? std::min(cone / 2.0f, 90.0f) : 90.0f;
        light->Exponent = usable ? std::clamp(128.0f / std::sqrt(cone / 8.0f), 0.0f, 128.0f) : 0.0f;
    } else {
        light->CutOff = 180.0f;
        light->Exponent = 0.0f;
    }
    Lights.push_back(scene_->Own(std::move(light)));
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadMaterial(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    auto material = std::make_unique<TLoaderMaterial>();
    data.NodeHeader(*material);
    data.I32();
    material->TwoSided = data.I32() > 0 ? 2 : 0;
    data.I32();
    data.I32();
    float c[16];
    data.Floats(c, 16);
    material->AmbientColor = Color(c);
    material->DiffuseColor = Color(c + 4);
    material->SpecularColor = Color(c + 8);
    material->EmissiveColor = Color(c + 12);
    const float glossiness = data.F32();
    const float level = data.F32();
    data.F32();
    data.F32();
    if (header.version >= kVersion12) data.Skip(20);
    // OpenGL takes specular exponents of 0 to 128.
    const float shininess = std::fabs(glossiness) * 100.0f;
    material->Shininess = std::isfinite(shininess) ? std::min(shininess, 128.0f) : 0.0f;
    material->SpecularColor.r *= level;
    material->SpecularColor.g *= level;
    material->SpecularColor.b *= level;
    material->BlendKind = material->DiffuseColor.a < 1.0f ? bkBlended : bkOpaque;
    TLoaderMaterial* raw = scene_->Own(std::move(material));
    Materials.push_back(raw);
    return static_cast<Ts3dBase*>(raw);
}

TChunkContext TSmartY3dLoader::ReadMap(TStream& stream, const TChunkHeader& header, TChunkContext parent) {
    TChunkData data(*this, stream, header);
    const int32_t type = data.I32();
    const int32_t texture = data.I32();
    data.Skip(16);
    const float amount = header.version > kVersion11 ? data.F32() : 1.0f;
    // A map outside a material has nothing to belong to.
    auto* material = dynamic_cast<TLoaderMaterial*>(static_cast<Ts3dBase*>(parent));
    if (!material) return nullptr;
    switch (type) {
    case mtDiffuse:
        material->DiffuseIndex = texture;
        material->DiffuseAmount = amount;
        break;
    case mtBump:
        material->BumpIndex = texture;
        break;
    case mtReflection:
        material->ReflectionIndex = texture;
        material->ReflectionAmount = amount;
        break;
    case mtRefraction:
        material->RefractionIndex = texture;
        material->DiffuseColor = TColors::White;
        break;
    default:
        break;
    }
    return nullptr;
}

TChunkContext TSmartY3dLoader::ReadPicture(TStream& stream, const TChunkHeader& header) {
    TChunkData data(*this, stream, header);
    Ts3dBase info;
    data.NodeHeader(info);
    const int32_t embedded = data.I32();
    TRefPtr<TLoaderImage> image(new TLoaderImage());
    if (embedded > 0) {
        const int32_t width = data.I32(), height = data.I32(), bytesPerPixel = data.I32(), bits = data.I32();
        const int64_t product = int64_t(bytesPerPixel) * bits;
        const int32_t channels = product > 24 ? 4 : 3;
        if (bytesPerPixel != channels)
            data.Fail(
                Format("%d bytes per pixel with %d bits per channel is not a layout it can read (3 or 4 "
                       "bytes of 8 bits)",
                       bytesPerPixel, bits));
        if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
            data.Fail(Format("its picture is %d x %d pixels", width, height));
        const int64_t bytes = int64_t(width) * height * channels;
        if (bytes > data.Remaining())
            data.Fail(Format("a %d x %d picture needs %lld bytes, but only %lld remain", width, height,
                             static_cast<long long>(bytes), static_cast<long long>(data.Remaining())));
        void* pixels = std::malloc(size_t(bytes));
        if (!pixels) data.Fail("no memory for its pixels");
        try {
            data.Bytes(pixels, bytes);
        } catch (...) {
            std::free(pixels);
            throw;
        }
        image->Allocate(pixels, width, uint8_t(channels == 4 ? ifFour : ifThree), ctUInt8, 1, height);
    } else {
        const std::string name = FileNamePart(info.Name);
        if (name.empty())
            data.Fail(Format("its picture is neither embedded nor named (\"%s\")", info.Name.c_str()));
        try {
            image->LoadFromFile(name);
        } catch (Exception& e) {
            // The decoders say what is wrong, this says with which picture.
            if (e.Message().find(name) == std::string::npos) e.AddContext(name + ": ");
            throw;
        }
    }
    image->SetTagA(info.Id);
    image->Name = info.Name;
    Images.push_back(TRefPtr<I3dImage>(image.Get()));
    return nullptr;
}

// ---- linking ----

void TSmartY3dLoader::Link() {
    MakeTextures();
    LinkMaterials();
    ReplaceNodesByTracks();
    LinkParents();
    MakeObjects();
}

void TSmartY3dLoader::MakeTextures() {
    for (TRefPtr<I3dImage>& image : Images) {
        TRefPtr<I3dTexture> texture;
        device_->CreateImageTexture(image.Get(), texture);
        if (texture) texture->Upload();
        Textures.push_back(texture);
    }
}

void TSmartY3dLoader::LinkMaterials() {
    auto at = [](auto& list, int32_t index) -> auto& {
        if (index < 0 || size_t(index) >= list.size()) RaiseListIndexError(index);
        return list[size_t(index)];
    };
    for (TLoaderMaterial* m : Materials) {
        try {
            if (m->DiffuseIndex >= 0) m->DiffuseTexture = at(Textures, m->DiffuseIndex);
            if (m->BumpIndex >= 0) {
                TRefPtr<I3dImage> heights = at(Images, m->BumpIndex);
                TRefPtr<I3dImage> normals;
                device_->CreateImage(normals);
                normals->MakeNormalMap(heights.Get(), kBumpScale);
                TRefPtr<I3dTexture> texture;
                device_->CreateImageTexture(normals.Get(), texture);
                if (texture) {
                    texture->SetSmooth(true);
                    texture->SetMipMode(mmBuild);
                    texture->Upload();
                }
                m->BumpTexture = texture;
            }
            if (m->ReflectionIndex >= 0) m->ReflectionTexture = at(Textures, m->ReflectionIndex);
            if (m->RefractionIndex >= 0) {
                at(Textures, m->RefractionIndex);
                m->Refract = true;
            }
        } catch (const EListError& e) {
            throw EListError(Format("%s: material %s: %s", fileName_.c_str(), m->Name.c_str(), e.what()));
        }
    }
}

void TSmartY3dLoader::ReplaceNodesByTracks() {
    for (Ts3dAnimPosition* track : Tracks) {
        for (Ts3dPositional*& node : Nodes) {
            if (node == track || node->Id != track->Id) continue;
            track->ParentId = node->ParentId;
            track->RefId = node->RefId;
            if (track->Name.empty()) track->Name = node->Name;
            Ts3dPositional* old = node;
            node = track;
            // The same node may stand in the list more than once only when a
            // track replaced two nodes of one id; destroy it once.
            if (std::find(Nodes.begin(), Nodes.end(), old) == Nodes.end()) scene_->Destroy(old);
        }
    }
}

void TSmartY3dLoader::LinkParents() {
    for (Ts3dPositional* node : Nodes) {
        node->Parent = nullptr;
        if (node->ParentId <= 0) continue;
        for (Ts3dPositional* candidate : Nodes)
            if (candidate->Id == node->ParentId) {
                node->Parent = candidate;
                break;
            }
    }
    // A parent chain must end: a loop would evaluate forever, a very deep
    // chain would exhaust the stack.
    for (Ts3dPositional* node : Nodes) {
        int32_t depth = 0;
        for (Ts3dPositional* p = node->Parent; p; p = p->Parent)
            if (++depth > kMaxNodeDepth)
                throw ESceneFileError(
                    Format("%s: node %d (%s) has a parent chain deeper than %d nodes or one "
                           "that loops",
                           fileName_.c_str(), node->Id, node->Name.c_str(), kMaxNodeDepth));
    }
}

void TSmartY3dLoader::PrepareGeometry(Ts3dGeometryDef* geometry, Ts3dMaterial* material) {
    if (geometry->Linked) return;
    geometry->Linked = true;
    I3dObjectBuffer* buffer = geometry->VertexBuffer.Get();
    if (!buffer) return;
    if (material && material->TwoSided == 2) {
        // The indices, then the same indices reversed (each triangle turned
        // the other way), drawn by one more triangle-list group.
        T3dIndexBufferList* lists = buffer->GetIndexBuffers();
        I3dIndexBuffer* old = lists->Items[0].Get();
        const int32_t n = old->GetCount();
        TRefPtr<I3dIndexBuffer> doubled;
        buffer->AddIndexList(2 * n, nullptr, doubled);
        if (n > 0) {
            uint32_t* out = doubled->IndexAddress(0);
            const uint32_t* in = old->IndexAddress(0);
            std::memcpy(out, in, size_t(n) * 4);
            std::reverse_copy(in, in + n, out + n);
        }
        lists->Items[0] = doubled;
        lists->Items.pop_back();
        geometry->Faces->AddFaceGroup(n, n, pkTriangles);
    }
    if (material && material->BumpTexture) {
        geometry->BumpTexCoordStream = geometry->TexCoordStream;
        const int32_t count = geometry->Stream(0) ? geometry->Stream(0)->GetCount() : 0;
        TRefPtr<I3dVertexBuffer> binormals, tangents;
        buffer->AddStream(count, 1, binormals, nullptr, 2);
        geometry->BinormalStream = geometry->StreamCount() - 1;
        buffer->AddStream(count, 1, tangents, nullptr, 2);
        geometry->TangentStream = geometry->StreamCount() - 1;
    }
    geometry->Build();
}

void TSmartY3dLoader::MakeObjects() {
    // Every object costs memory the file does not hold; nodes and meshes that
    // share ids could otherwise multiply into far more objects than a file of
    // this size can describe.
    const int64_t maxObjects = std::max<int64_t>(fileSize_ / 32, 1024);
    int64_t objects = 0;
    for (Ts3dPositional* node : Nodes) {
        for (Ts3dGeometryDef* geometry : Geometries) {
            if (geometry->Id != node->RefId) continue;
            if (++objects > maxObjects)
                throw ESceneFileError(
                    Format("%s: its nodes instance more than %lld objects, more than a file of "
                           "%lld bytes can hold",
                           fileName_.c_str(), static_cast<long long>(maxObjects),
                           static_cast<long long>(fileSize_)));
            Ts3dObject* object = scene_->Own(std::make_unique<Ts3dObject>(geometry));
            object->Id = node->Id;
            object->ParentId = node->ParentId;
            object->RefId = node->RefId;
            object->Name = node->Name;
            object->Node = node;
            Ts3dMaterial* material = nullptr;
            if (geometry->MaterialIndex >= 0 && size_t(geometry->MaterialIndex) < Materials.size()) {
                material = Materials[size_t(geometry->MaterialIndex)];
                object->Material = material;
                material->Objects.Add(object);
            }
            if (material && material->EnvironmentReflect) {
                // Flat when every normal lies within about 3.6 degrees of the first.
                I3dVertexBuffer* normals = geometry->Stream(1);
                bool flat = true;
                const int32_t count = normals ? normals->GetCount() : 0;
                if (count > 0) {
                    const TVector3 first = *static_cast<const TVector3*>(normals->ElementAddress(0));
                    for (int32_t i = 1; i < count && flat; i++)
                        flat =
                            TVector::Dot(first, *static_cast<const TVector3*>(normals->ElementAddress(i))) >=
                            0.998f;
                }
                object->Flat = flat;
                if (flat) {
                    material->Mirror = true;
                    material->EnvironmentReflect = false;
                }
            }
            PrepareGeometry(geometry, material);
            object->Radius = geometry->SphereRadius;
            scene_->AddObject(object);
        }
        for (TLoaderLight* light : Lights)
            if (light->Id == node->Id) {
                light->Node = node;
                light->Device = device_;
                scene_->Lights.Add(light);
            }
        for (Ts3dcamera* camera : Cameras)
            if (camera->Id == node->Id) {
                camera->Node = node;
                camera->Device = device_;
                scene_->Cameras.Add(camera);
            }
    }
    if (!scene_->Cameras.Empty()) scene_->SelectCamera(0);
}
