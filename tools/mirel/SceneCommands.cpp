// mirel scene import IN OUT.y3d: a model (glTF, OBJ, ...) as a scene file.
// mirel scene dump FILE: a scene file as the loader builds it, as JSON.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "data/FlexibleStream.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Resources.h"
#include "scene/loader/SmartY3dLoader.h"
#include "scene/material/NV2xMaterialHandler.h"
#include "scene/loader/Y3dFile.h"
#include "tools/mirel/SceneCommon.h"
#include "tools/mirel/SceneImport.h"

namespace {

// ---- import ----

const char* kImportUsage = "scene import IN OUT.y3d [--fps N] [--embed-textures] [--no-shadows] "
                           "[--ambient R,G,B] [--background R,G,B] [--light-scale S] "
                           "[--no-default-camera] [--no-default-light] [--allow-empty]";

// A number from the command line, or false.
bool ParseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(out);
}

// "R,G,B" with each part a number.
bool ParseColor(const std::string& text, float out[3]) {
    size_t start = 0;
    for (int i = 0; i < 3; i++) {
        const size_t comma = i < 2 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return false;
        double v;
        if (!ParseNumber(text.substr(start, comma - start), v)) return false;
        out[i] = float(v);
        start = comma + 1;
    }
    return true;
}

int SceneImport(const MirelArgs& args) {
    TSceneImportOptions options;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        double number;
        if (a == "--fps" && hasValue && ParseNumber(args[i + 1], number) && number > 0 && number <= 1000) {
            options.Fps = number;
            i++;
        } else if (a == "--light-scale" && hasValue && ParseNumber(args[i + 1], number) && number >= 0) {
            options.LightScale = float(number);
            i++;
        } else if (a == "--ambient" && hasValue && ParseColor(args[i + 1], options.Ambient)) {
            options.AmbientGiven = true;
            i++;
        } else if (a == "--background" && hasValue && ParseColor(args[i + 1], options.Background)) {
            i++;
        } else if (a == "--embed-textures") {
            options.EmbedTextures = true;
        } else if (a == "--no-shadows") {
            options.Shadows = false;
        } else if (a == "--no-default-camera") {
            options.DefaultCamera = false;
        } else if (a == "--no-default-light") {
            options.DefaultLight = false;
        } else if (a == "--allow-empty") {
            options.AllowEmpty = true;
        } else if (a.rfind("--", 0) != 0) {
            files.push_back(a);
        } else {
            return MirelUsage(kImportUsage);
        }
    }
    if (files.size() != 2) return MirelUsage(kImportUsage);
    const std::string& in = files[0];
    const std::string& out = files[1];

    TSceneImportResult result = ImportScene(in, options);
    // The warnings once the file is written: a failure prints its one line.
    SaveY3dFile(result.Document, out);
    for (const std::string& warning : result.Warnings)
        std::fprintf(stderr, "warning: %s: %s\n", in.c_str(), warning.c_str());
    std::printf("%s: %d nodes, %d meshes, %zu materials, %zu pictures, %d cameras, %d lights", out.c_str(),
                result.Nodes, result.Meshes, result.Document.Materials.size(),
                result.Document.Pictures.size(), result.Cameras, result.Lights);
    if (result.AnimatedNodes > 0)
        std::printf(", %d animated nodes over frames 0 to %d at %g frames per second", result.AnimatedNodes,
                    result.LastFrame, options.Fps);
    std::printf("\n");
    return 0;
}

// ---- dump ----

const char* kDumpUsage = "scene dump FILE [--data DIR | --archive PCK] [--time T]";

std::string Floats(const float* values, int n) {
    std::string out = "[";
    for (int i = 0; i < n; i++)
        out += (i ? "," : "") + JsonFloat(values[i]);
    return out + "]";
}
std::string Json(const TColor4& c) {
    return Floats(&c.r, 4);
}
std::string Json(const TVector3& v) {
    return Floats(&v.x, 3);
}
std::string Json(const TMatrix4& m) {
    return Floats(m.m, 16);
}
std::string Json(bool b) {
    return b ? "true" : "false";
}

// Position of an element in a list, or -1.
template <class List, class T> int32_t IndexIn(const List& list, const T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    return it == list.end() ? -1 : int32_t(it - list.begin());
}

std::string MaterialJson(const TLoaderMaterial& m) {
    // The pass the material handler plans: [kind, role] per stage.
    std::string stages = "[";
    for (const Ts3dPassStage& stage : PlannedStages(m))
        stages += Format("%s[%d,%d]", stages.size() > 1 ? "," : "", stage.Kind, stage.Role);
    stages += "]";
    return Format("{\"id\":%d,\"name\":%s,\"blendKind\":%d,\"twoSided\":%s,\"mirror\":%s,"
                  "\"environmentReflect\":%s,\"refract\":%s,\"ambient\":%s,\"diffuse\":%s,\"specular\":%s,"
                  "\"emissive\":%s,\"shininess\":%s,\"diffuseAmount\":%s,\"reflectionAmount\":%s,"
                  "\"maps\":{\"diffuse\":%d,\"bump\":%d,\"reflection\":%d,\"refraction\":%d},\"stages\":%s}",
                  m.Id, JsonString(m.Name).c_str(), m.BlendKind, Json(m.TwoSided != 0).c_str(),
                  Json(m.Mirror).c_str(), Json(m.EnvironmentReflect).c_str(), Json(m.Refract).c_str(),
                  Json(m.AmbientColor).c_str(), Json(m.DiffuseColor).c_str(), Json(m.SpecularColor).c_str(),
                  Json(m.EmissiveColor).c_str(), JsonFloat(m.Shininess).c_str(),
                  JsonFloat(m.DiffuseAmount).c_str(), JsonFloat(m.ReflectionAmount).c_str(), m.DiffuseIndex,
                  m.BumpIndex, m.ReflectionIndex, m.RefractionIndex, stages.c_str());
}

std::string GeometryJson(Ts3dGeometryDef& g) {
    std::string streams = "[";
    for (int32_t s = 0; s < g.StreamCount(); s++)
        streams += Format("%s%d", s ? "," : "", g.Stream(s) ? g.Stream(s)->GetComponents() + 1 : 0);
    streams += "]";
    std::string groups = "[";
    const int32_t groupCount = g.Faces ? g.Faces->GetCount() : 0;
    for (int32_t i = 0; i < groupCount; i++) {
        const auto* group = static_cast<const T3dFaceGroup*>(g.Faces->ElementAddress(i));
        groups +=
            Format("%s[%d,%d,%d]", i ? "," : "", int(group->Primitive), group->FirstIndex, group->IndexCount);
    }
    groups += "]";
    return Format("{\"id\":%d,\"name\":%s,\"vertices\":%d,\"indices\":%d,\"streams\":%s,"
                  "\"positionStream\":%d,\"normalStream\":%d,\"texCoordStream\":%d,\"bumpTexCoordStream\":%d,"
                  "\"tangentStream\":%d,\"binormalStream\":%d,\"groups\":%s,\"boxMin\":%s,\"boxMax\":%s,"
                  "\"sphereCenter\":%s,\"sphereRadius\":%s,\"material\":%d}",
                  g.Id, JsonString(g.Name).c_str(), g.Stream(0) ? g.Stream(0)->GetCount() : 0,
                  g.Indices() ? g.Indices()->GetCount() : 0, streams.c_str(), g.PositionStream,
                  g.NormalStream, g.TexCoordStream, g.BumpTexCoordStream, g.TangentStream, g.BinormalStream,
                  groups.c_str(), Json(g.BoxMin).c_str(), Json(g.BoxMax).c_str(),
                  Json(g.SphereCenter).c_str(), JsonFloat(g.SphereRadius).c_str(), g.MaterialIndex);
}

// The world matrix of a node at a time (identity without a node).
TMatrix4 World(Ts3dPositional* node, double time) {
    return node ? node->GetWorldMatrix(time) : TMatrix::Identity();
}

// Appends "name":[items...] with one item per line.
void JsonList(std::string& out, const char* name, const std::vector<std::string>& items, bool last = false) {
    out += Format("\"%s\":[", name);
    for (size_t i = 0; i < items.size(); i++)
        out += (i ? ",\n  " : "\n  ") + items[i];
    out += items.empty() ? "]" : "\n]";
    out += last ? "\n" : ",\n";
}

std::string DumpJson(TSmartY3dLoader& loader, double time) {
    Ts3dScene& scene = *loader.Scene();
    std::string out = "{\n";
    out += Format("\"background\":%s,\n\"ambient\":%s,\n", Json(scene.BackgroundColor).c_str(),
                  Json(scene.AmbientColor).c_str());
    const int32_t camera = scene.Camera ? IndexIn(scene.Cameras, scene.Camera) : -1;
    out += camera >= 0 ? Format("\"camera\":%d,\n", camera) : "\"camera\":null,\n";
    // The scene frame of the last animation key (0 without animation): what
    // an author gives the scene effect as its "loop".
    double lastFrame = 0.0;
    for (Ts3dAnimPosition* track : loader.Tracks)
        for (const TAnim* anim : {&track->PositionTrack, &track->RotationTrack})
            for (int32_t k = 0; k < anim->Keys.Count(); k++)
                lastFrame = std::max(lastFrame, double(anim->Keys.Get(k)->Time));
    out += Format("\"lastFrame\":%s,\n", JsonFloat(float(lastFrame)).c_str());

    std::vector<std::string> items;
    for (size_t i = 0; i < loader.Images.size(); i++) {
        I3dImage* image = loader.Images[i].Get();
        auto* picture = dynamic_cast<TLoaderImage*>(image);
        items.push_back(Format("{\"name\":%s,\"width\":%d,\"height\":%d,\"channels\":%d}",
                               JsonString(picture ? picture->Name : "").c_str(), image->GetWidth(),
                               image->GetHeight(), image->GetFormat() + 1));
    }
    JsonList(out, "images", items);

    items.clear();
    for (TLoaderMaterial* m : loader.Materials)
        items.push_back(MaterialJson(*m));
    JsonList(out, "materials", items);

    items.clear();
    for (Ts3dGeometryDef* g : loader.Geometries)
        items.push_back(GeometryJson(*g));
    JsonList(out, "geometries", items);

    items.clear();
    for (Ts3dObject* o : scene.Objects)
        items.push_back(
            Format("{\"id\":%d,\"name\":%s,\"geometry\":%d,\"material\":%d,\"flat\":%s,\"world\":%s}", o->Id,
                   JsonString(o->Name).c_str(), IndexIn(loader.Geometries, o->Geometry),
                   o->Material ? IndexIn(loader.Materials, o->Material) : -1, Json(o->Flat).c_str(),
                   Json(World(o->Node, time)).c_str()));
    JsonList(out, "objects", items);

    items.clear();
    for (Ts3dLight* l : scene.Lights)
        items.push_back(Format("{\"id\":%d,\"name\":%s,\"ambient\":%s,\"diffuse\":%s,\"specular\":%s,"
                               "\"castsShadows\":%s,\"cutoff\":%s,\"exponent\":%s,\"shadowNear\":%s,"
                               "\"shadowFar\":%s,\"world\":%s}",
                               l->Id, JsonString(l->Name).c_str(), Json(l->Ambient).c_str(),
                               Json(l->Diffuse).c_str(), Json(l->Specular).c_str(),
                               Json(l->CastsShadows).c_str(), JsonFloat(l->CutOff).c_str(),
                               JsonFloat(l->Exponent).c_str(), JsonFloat(l->ShadowNear).c_str(),
                               JsonFloat(l->ShadowFar).c_str(), Json(World(l->Node, time)).c_str()));
    JsonList(out, "lights", items);

    items.clear();
    for (Ts3dcamera* c : scene.Cameras)
        items.push_back(Format("{\"id\":%d,\"name\":%s,\"fov\":%s,\"near\":%s,\"far\":%s,\"world\":%s}",
                               c->Id, JsonString(c->Name).c_str(), JsonFloat(c->Fov).c_str(),
                               JsonFloat(c->Near).c_str(), JsonFloat(c->Far).c_str(),
                               Json(World(c->Node, time)).c_str()));
    JsonList(out, "cameras", items, true);
    return out + "}\n";
}

int SceneDump(const MirelArgs& args) {
    std::string file, dataDir, archive;
    double time = 0.0;
    for (size_t i = 0; i < args.size(); i++) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--data" && hasValue) {
            dataDir = args[++i];
        } else if (args[i] == "--archive" && hasValue) {
            archive = args[++i];
        } else if (args[i] == "--time" && hasValue && ParseNumber(args[i + 1], time)) {
            i++;
        } else if (file.empty() && args[i].rfind("--", 0) != 0) {
            file = args[i];
        } else {
            return MirelUsage(kDumpUsage);
        }
    }
    if (file.empty() || (!dataDir.empty() && !archive.empty())) return MirelUsage(kDumpUsage);

    const std::vector<uint8_t> bytes = OpenSceneFile(file, dataDir, archive);

    THiddenGL gl;
    std::string json;
    {
        TSmartY3dLoader loader(gl.Device());
        loader.RegisterSceneHandlers();
        TReadOnlyMemoryStream stream(bytes.data(), int64_t(bytes.size()));
        loader.LoadFromStream(stream, file);
        json = DumpJson(loader, time);
    }
    TFlexibleStream::ResetSettings();
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}

MirelSceneRegistration importCommand("import", kImportUsage, SceneImport);
MirelSceneRegistration dumpCommand("dump", kDumpUsage, SceneDump);

} // namespace
