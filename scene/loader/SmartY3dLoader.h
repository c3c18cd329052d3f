// TSmartY3dLoader: reads one scene file (.y3d) into a new Ts3dScene. It
// registers a handler per known chunk kind with the generic chunk reader,
// collects what the handlers decode in per-kind lists (file order) and, at the
// end, links nodes, meshes, materials, pictures, tracks, lights and cameras
// together by their ids.
//
// Files are refused, never trusted: every count is checked against the bytes
// its chunk holds, every index against the list it points into, and a chunk's
// data may not run past the chunk's end. A refusal raises ESceneFileError (or
// EListError for a map's texture index outside its list) naming the file,
// the chunk and what is wrong; nothing is allocated beyond what the file's
// own size allows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/3dImage.h"
#include "scene/chunks/NoiceLoader.h"
#include "scene/model/Scene.h"

ZUMBRIX_EXCEPTION(ESceneFileError, Exception);

// The picture a scene file's TXTR chunk becomes; it keeps the name the file
// gives it (a path as the exporter wrote it).
class TLoaderImage : public T3dImage {
public:
    std::string Name;
};

// The scale the normal maps of bump pictures are built with.
constexpr float kBumpScale = 5.0f;
// Deepest chain of parent nodes a scene may have.
constexpr int32_t kMaxNodeDepth = 256;

class TSmartY3dLoader {
public:
    explicit TSmartY3dLoader(I3dDevice* device);
    ~TSmartY3dLoader();
    TSmartY3dLoader(const TSmartY3dLoader&) = delete;
    TSmartY3dLoader& operator=(const TSmartY3dLoader&) = delete;

    // Registers the handlers of the ten known (kind, version) pairs.
    void RegisterSceneHandlers();
    // Builds the scene from the named file, opened through the flexible
    // streams. The loader keeps the scene for as long as it lives.
    void Load(const std::string& fileName);
    // The same from a stream; `displayName` names the file in messages.
    void LoadFromStream(TStream& stream, const std::string& displayName);

    Ts3dScene* Scene() const { return scene_.get(); }
    I3dDevice* Device() const { return device_.Get(); }

    // What the file held, in file order (the scene owns the elements).
    std::vector<Ts3dPositional*> Nodes;
    std::vector<Ts3dAnimPosition*> Tracks;
    std::vector<Ts3dGeometryDef*> Geometries;
    std::vector<Ts3dcamera*> Cameras;
    std::vector<TLoaderMaterial*> Materials;
    std::vector<TRefPtr<I3dImage>> Images;
    std::vector<TLoaderLight*> Lights;
    std::vector<TRefPtr<I3dTexture>> Textures;

private:
    class TChunkData;

    void Reset();
    void Link();

    // The chunk handlers.
    TChunkContext ReadSceneColors(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadNode(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadTrack(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadMesh(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadCamera(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadLight(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadMaterial(TStream& stream, const TChunkHeader& header);
    TChunkContext ReadMap(TStream& stream, const TChunkHeader& header, TChunkContext parent);
    TChunkContext ReadPicture(TStream& stream, const TChunkHeader& header);

    // Linking steps.
    void MakeTextures();
    void LinkMaterials();
    void ReplaceNodesByTracks();
    void LinkParents();
    void MakeObjects();
    void PrepareGeometry(Ts3dGeometryDef* geometry, Ts3dMaterial* material);

    TRefPtr<I3dDevice> device_;
    std::unique_ptr<Ts3dScene> scene_;
    TNoiceLoader reader_;
    std::string fileName_;
    int64_t fileSize_ = 0;
};
