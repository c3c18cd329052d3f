// Ts3dScene: the in-memory scene. A flat collection of renderable objects
// (each an instance of a geometry placed by a node and drawn with a
// material), the lights and cameras, the selected camera, the scene time and
// the render-wide settings and resources.
//
// The scene owns every element made for it (Own); all its lists only point
// at them. The scene file loader builds a scene, the scene effect sets its
// time and camera and asks it to render every frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/model/Culling.h"
#include "scene/model/MaterialHandler.h"
#include "scene/model/SceneCamera.h"
#include "scene/model/SceneObject.h"

// The eight vertex programs the scene loads at start besides the material
// handler's bump program, in this order.
constexpr int32_t kSceneProgramCount = 8;
extern const char* const kSceneProgramFiles[kSceneProgramCount];

// Pass kinds (PassKind).
enum : uint8_t { pkFirstLightPass = 1, pkLaterLightPass = 2, pkBlendedPass = 3 };

class Ts3dScene : public Ts3dBase {
public:
    Ts3dScene();
    ~Ts3dScene() override;

    // Makes the lists and sets the defaults (reflect maps 512, shadows,
    // reflections and bump on).
    void Create() override;
    // Once, after Device is set: the normalisation cube map (with cube-map
    // support), the sphere object, the eight vertex programs (with
    // vertex-program support), the culler and the material handler.
    void CreateResources();
    // Adds an object and its material (once) to the scene.
    void AddObject(Ts3dObject* object);
    // Camera = Cameras[index]; an index outside the list raises EListError
    // (for a scene without cameras, naming the file and what to do).
    void SelectCamera(int32_t index);
    // The first light; a scene without lights raises the list's index error,
    // naming the file and what to do.
    Ts3dLight* FirstLight();

    // Keeps `element` for as long as the scene lives and returns it.
    template <class T> T* Own(std::unique_ptr<T> element) {
        T* raw = element.get();
        owned_.push_back(std::move(element));
        return raw;
    }
    // Destroys an element the scene owns (a node replaced by an animated one).
    void Destroy(Ts3dBase* element);

    // Rendering: once when the scene effect starts, once per frame, and when
    // the effect stops.
    void Prepare();
    void Render();
    void ReleaseShadowMaps();

    // The steps of Prepare and Render.
    void PrepareBackground();
    void PrepareMaterial(Ts3dMaterial* material);
    TRefPtr<I3dTexture> CreateCubeTexture();
    void UpdateFrameWorlds();
    void RenderShadowMap(Ts3dLight* light);
    void RenderCubeFaces(Ts3dObject* object, I3dTexture* texture, int32_t firstFace, int32_t lastFace);
    void ClearOrDrawBackground();
    void SetViewTransforms(const TMatrix4& view);
    void RenderView(bool depthOnly);
    void SortVisible();
    void SetupShadowProjection(Ts3dLight* light);
    void SetupLights(Ts3dLight* light);
    void RenderOpaque();
    void RenderBlended();
    void RenderDepthOnly(Ts3dList<Ts3dObject>& list);
    void ReleaseUnits();
    // The pixels of the current context, for counted pixel work (0 when
    // nothing is being counted).
    uint64_t ScreenPixels();
    // Records a texture unit the material handler allocated for the current
    // pass, for ReleaseUnits.
    void RecordUnit(int32_t unit);

    // During a shadow-casting light's passes: puts the light's shadow map,
    // with its projection, on texture unit `unit` (moving it from the unit
    // it was on). False when there is no shadow map to bind or the context
    // has no such unit; the pass then goes without.
    bool BindShadowMap(int32_t unit);
    // Takes the shadow map off its unit: texture, coordinate generation and
    // texture matrix back to plain.
    void ReleaseShadowUnit();

    // The device's current context (null when none).
    I3dContext* Context();
    // Position of an object's material in Materials (the count when it has
    // none): the order Prepare sorts objects in.
    int32_t MaterialOrder(const Ts3dObject* object) const;
    // Switches every light slot of the context off and frees it.
    void SwitchLightsOff(I3dContext* c);
    // Loads an object's model-view, selects its buffer with the positions on
    // slot 0 and, when asked, lets the material handler set it up.
    void DrawObject(Ts3dObject* object, bool setupObject);

    // The file the scene was loaded from (empty for a scene built in code),
    // for the messages about what the scene lacks.
    std::string FileName;
    Ts3dObject* CurrentObject = nullptr;
    Ts3dMaterial* CurrentMaterial = nullptr;
    TMatrix4 ViewMatrix = TMatrix::Identity(); // world matrix of the current viewpoint
    TColor4 BackgroundColor = {0, 0, 0, 0};
    Ts3dcamera* Camera = nullptr;
    double Time = 0.0; // scene time in the file's frames
    Ts3dList<Ts3dLight> Lights;
    Ts3dList<Ts3dLight> PlainLights;
    Ts3dList<Ts3dLight> ShadowLights;
    Ts3dList<Ts3dcamera> Cameras;
    TColor4 AmbientColor = {0, 0, 0, 0};
    int32_t ReflectMapSize = 512;
    int32_t ShadowMapSize = 0;
    bool ShadowsEnabled = true;
    bool ReflectionsEnabled = true;
    bool BumpEnabled = true;
    TRefPtr<I3dImage> Background;
    Ts3dMaterial* BackgroundMaterial = nullptr;
    TRefPtr<I3dTexture> BackgroundTexture;
    Ts3dObject* BackgroundObject = nullptr;
    Ts3dLight* CurrentLight = nullptr;
    uint8_t PassKind = pkFirstLightPass;
    TRefPtr<I3dTexture> NormalizationCubeMap;
    TRefPtr<I3dVertexProgram> Programs[kSceneProgramCount];
    Ts3dObject* SphereObject = nullptr;
    Ts3dList<Ts3dMaterial> Materials;
    Ts3dList<Ts3dObject> Mirrors;
    Ts3dList<Ts3dObject> CubeMapObjects;
    Ts3dList<Ts3dObject> BlendedVisible;
    Ts3dList<Ts3dObject> Objects;
    Ts3dList<Ts3dObject> Visible;
    Ts3dList<Ts3dMaterial> OpaqueMaterials;
    std::unique_ptr<Ts3dFrustumCulling> Culler;
    std::unique_ptr<Ts3dMaterialHandler> MaterialHandler;
    // Texture units the material handler allocated for the current pass.
    int32_t PassUnits[4] = {0, 0, 0, 0};

    // The shadow-casting light whose passes are being drawn (null in plain
    // light passes), the unit its shadow map is on (0: none), the view its
    // eye-linear planes are given in and its texture matrix (world position
    // to shadow-map coordinates).
    Ts3dLight* ShadowLight = nullptr;
    int32_t ShadowUnit = 0;
    TMatrix4 ShadowView = TMatrix::Identity();
    TMatrix4 ShadowTextureMatrix = TMatrix::Identity();
    // The image the background texture was made from (made once per image).
    I3dImage* BackgroundSource = nullptr;
    // Set by Prepare: the next frame's main view draws every object, those
    // outside the view too (the clipper discards all they draw), so that
    // every program the scene's materials need is made in its first frame
    // and none in a later one, when an object comes into view.
    bool DrawEveryObject = false;

private:
    std::vector<std::unique_ptr<Ts3dBase>> owned_;
};
