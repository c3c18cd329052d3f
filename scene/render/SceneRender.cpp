// Scene rendering. Until the renderer lands, a scene only loads: every
// rendering entry point reports that it is missing.
#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "scene/model/Scene.h"

namespace {
[[noreturn]] void Missing() {
    throw ENotImplementedExeption("Scene rendering is not available");
}
} // namespace

void Ts3dScene::Prepare() {
    Missing();
}
void Ts3dScene::Render() {
    Missing();
}
void Ts3dScene::ReleaseShadowMaps() {}
void Ts3dScene::PrepareBackground() {
    Missing();
}
void Ts3dScene::PrepareMaterial(Ts3dMaterial*) {
    Missing();
}
TRefPtr<I3dTexture> Ts3dScene::CreateCubeTexture() {
    Missing();
}
void Ts3dScene::UpdateFrameWorlds() {
    Missing();
}
void Ts3dScene::RenderShadowMap(Ts3dLight*) {
    Missing();
}
void Ts3dScene::RenderCubeFaces(Ts3dObject*, I3dTexture*, int32_t, int32_t) {
    Missing();
}
void Ts3dScene::ClearOrDrawBackground() {
    Missing();
}
void Ts3dScene::SetViewTransforms(const TMatrix4&) {
    Missing();
}
void Ts3dScene::RenderView(bool) {
    Missing();
}
void Ts3dScene::SortVisible() {
    Missing();
}
void Ts3dScene::SetupShadowProjection(Ts3dLight*) {
    Missing();
}
void Ts3dScene::SetupLights(Ts3dLight*) {
    Missing();
}
void Ts3dScene::RenderOpaque() {
    Missing();
}
void Ts3dScene::RenderBlended() {
    Missing();
}
void Ts3dScene::RenderDepthOnly(Ts3dList<Ts3dObject>&) {
    Missing();
}
void Ts3dScene::ReleaseUnits() {
    Missing();
}
void Ts3dFrustumCulling::Cull() {
    Missing();
}
