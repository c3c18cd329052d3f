// The steady-state frame allocates nothing on the heap: 300 frames of fades
// with the console showing the statistics line and the help page, counted
// with this program's own operator new.
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/DemoDevice.h"
#include "demo/DemoEffect.h"
#include "demo/DemoKeys.h"
#include "demo/DemoParts.h"
#include "demo/ScriptTimeline.h"
#include "platform/FileWatcher.h"
#include "script/FileXMLParser.h"
#include "tests/support/TestSupport.h"
#include "tests/scene/SceneScenes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void* Allocate(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// The script's effects made through the registry and loaded; its parts added.
void AddScript(TDemo3dDevice* device, TFileXMLParser& script) {
    TEffectRegistry registry;
    FillEffectRegistry(registry);
    for (const auto& entry : script.Effects())
        AddScriptEffect(registry, *device, *entry);
    AddScriptParts(*device, script);
}

TEST(Allocations, SteadyStateFramesAllocateNothing) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display: " << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window =
        SDL_CreateWindow("allocations", 0, 0, 160, 120, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        TRefPtr<TDemo3dDevice> device(new TDemo3dDevice());
        device->SetAudioOutput(aoSilent);
        device->Init(window, false, true);

        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(std::string(ZUMBRIX_BINARY_DIR) + "/content");
        device->LoadConsoleFont("niceFont.noc");
        ASSERT_NE(device->GetConsole(), nullptr);

        // Fades of all three interpolation kinds, one with a repeating
        // control, overlapping; a property looked up every frame as well.
        TFileXMLParser script;
        script.LoadScriptText("alloc.xml", R"(
            <effect name="spline" class="TFade">
              <control name="color" kind="color" type="spline">
                <key time="0" value="255 0 0 0"/><key time="1" value="255 0 0 255"/>
                <key time="2" value="0 0 255 100"/></control></effect>
            <effect name="hold" class="TFade">
              <control name="color" kind="color" type="hold" repeat="0">
                <key time="0" value="0 255 0 50"/><key time="0.2" value="0 0 0 0"/>
                <key time="0.4" value="0 0 0 0"/></control></effect>
            <effect name="linear" class="TFade">
              <property name="unused" value="1.5"/>
              <control name="color" kind="color" type="linear">
                <key time="0" value="0.1 0.2 0.3 0.4"/><key time="9" value="0.9 0.8 0.7 0.6"/></control></effect>
            <part name="spline" start="0" stop="0"/>
            <part name="hold" start="0" stop="1000"/>
            <part name="linear" start="0" stop="1000"/>
            <part name="hold" start="2000" stop="3000"/>)");
        AddScript(device.Get(), script);
        device->Start();
        TDemoKeys keys("Zumbrix from Tombrel");
        keys.KeyDown(vkD, device.Get()); // statistics line
        keys.KeyDown(vkH, device.Get()); // help page

        // A data folder watched for live reload, polled before every frame
        // as the message loop does, with a change queued, and the message of
        // a failed reload in the console.
        TempDir folder;
        TFileWatcher watcher;
        ASSERT_TRUE(watcher.Watch(folder.Path()));
        device->SetNoticeText({"Reload failed: alloc.xml, line 2: Missing brackets", "  in expression"});

        for (int i = 0; i < 20; i++) // warm up: pools and caches fill
            device->RenderFrame();
        WriteFileText(folder.File("changed.xml"), "<demo/>");
        gAllocations = 0;
        gCounting = true;
        int settled = 0;
        for (int i = 0; i < 300; i++) {
            settled += watcher.Poll();
            device->RenderFrame();
        }
        gCounting = false;
        EXPECT_EQ(gAllocations.load(), 0) << "heap allocations in 300 steady-state frames";
        EXPECT_EQ(settled + int(watcher.Pending()), 1); // the change was read
        EXPECT_EQ(device->Timer()->GetFrameCount(), 320);
        // The count does see allocations: adding a new status line allocates.
        gCounting = true;
        device->AddText(std::string(64, 'x'));
        gCounting = false;
        EXPECT_GT(gAllocations.load(), 0);
    }
    TFlexibleStream::ResetSettings();
    SDL_DestroyWindow(window);
}

// Playing scenes allocate nothing either: a shadow-casting spot light with
// its shadow map, bump mapping, a diffuse texture and blended objects, every
// frame at a new scene time.
TEST(Allocations, PlayingScenesAllocateNothing) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display: " << SDL_GetError();
    SetWindowGLAttributes();
    SDL_Window* window =
        SDL_CreateWindow("allocations", 0, 0, 160, 120, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        TSceneFolder folder;
        folder.Save(TShadowScene().Build(), "shadow.y3d");
        folder.Save(MaterialScene(), "materials.y3d");
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(folder.Path());
        TRefPtr<TDemo3dDevice> device(new TDemo3dDevice());
        device->SetAudioOutput(aoSilent);
        device->Init(window, false, false);

        TFileXMLParser script;
        script.LoadScriptText("alloc.xml", R"(
            <effect name="shadow" class="TSceneLoadTest">
              <property name="name" value="shadow.y3d"/>
              <property name="ShadowMapSize" value="128"/>
              <property name="fps" value="25"/></effect>
            <effect name="materials" class="TSceneLoadTest">
              <property name="name" value="materials.y3d"/>
              <property name="fps" value="25"/>
              <control name="camera"><key time="0" value="0"/></control></effect>
            <part name="shadow" start="0" stop="1000"/>
            <part name="materials" start="0" stop="1000"/>)");
        AddScript(device.Get(), script);
        device->Start();
        for (int i = 0; i < 20; i++)
            device->RenderFrame();
        gAllocations = 0;
        gCounting = true;
        for (int i = 0; i < 100; i++)
            device->RenderFrame();
        gCounting = false;
        EXPECT_EQ(gAllocations.load(), 0) << "heap allocations in 100 frames of playing scenes";
    }
    TFlexibleStream::ResetSettings();
    SDL_DestroyWindow(window);
}

} // namespace
