// Every mirel command on input it cannot use, run as a user runs it: an
// empty file, a truncated file of the right kind, a file of another kind, a
// directory, a missing file and an output that cannot be written. Each run
// must end with exit status 1 and exactly one line on standard error that
// names the file, print nothing on standard output and leave nothing behind
// in the scratch folder.
//
// A command is one row of kCommands; its bad runs are made from the row.
#include "data/3dImage.h"
#include "data/ConsoleFont.h"
#include "data/ZLBArchiveWriter.h"
#include "scene/chunks/NoiceLoader.h"
#include "scene/loader/Y3dFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

// The inputs the test makes, by kind.
enum TKind { kNone, kArchive, kPicture, kScript, kScene, kFont, kTrueType, kProgram, kY3d, kModel };

// What a command row runs. In args, "IN" stands for the input file and "OUT"
// for the output file.
struct TCommand {
    std::vector<std::string> args;
    TKind reads;     // the kind of file the command reads (IN)
    TKind wrongKind; // a kind it must refuse, or kNone where any bytes are fine
    bool emptyIsBad; // an empty file is not a valid input
};

// clang-format off
const TCommand kCommands[] = {
    {{"list", "IN"},                             kArchive,  kPicture, true},
    {{"verify", "IN"},                           kArchive,  kPicture, true},
    {{"extract", "IN", "a.txt", "-o", "OUT"},    kArchive,  kPicture, true},
    {{"pack", "OUT", "IN"},                      kPicture,  kNone,    false}, // any file packs
    {{"xml", "IN"},                              kScript,   kScene,   true},
    {{"script", "IN"},                           kScript,   kPicture, true},
    {{"image", "info", "IN"},                    kPicture,  kScene,   true},
    {{"image", "convert", "IN", "OUT"},          kPicture,  kScript,  true},
    {{"image", "convert", "IN", "OUT", "--raw"}, kPicture,  kFont,    true},
    {{"image", "normalmap", "IN", "OUT"},        kPicture,  kScene,   true},
    {{"font", "info", "IN"},                     kFont,     kPicture, true},
    {{"font", "build", "IN", "OUT"},             kTrueType, kPicture, true},
    {{"chunks", "IN"},                           kScene,    kScript,  true},
    {{"vp", "translate", "IN"},                  kProgram,  kPicture, true},
    {{"vp", "check", "IN"},                      kProgram,  kScene,   true},
    {{"scene", "dump", "IN"},                    kY3d,      kPicture, true},
    {{"scene", "render", "IN", "OUT"},           kY3d,      kScript,  true},
    {{"scene", "import", "IN", "OUT"},           kModel,    kPicture, true},
};
// clang-format on

const char* kTrueTypeFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// One run and what it must name.
struct TRun {
    std::string what;
    std::vector<std::string> args;
    std::string named;
    std::vector<std::string> env; // VAR=value settings, run through env(1)
};

class MirelBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        TRefPtr<T3dImage> image(new T3dImage());
        image->Allocate(nullptr, 16, ifThree, ctUInt8, 1, 8);
        for (size_t i = 0; i < image->DataBytes(); i++)
            static_cast<uint8_t*>(image->GetData())[i] = static_cast<uint8_t>(i * 37);
        files_[kPicture] = image->EncodeTargaFile();
        // An archive with a deflated and a stored member.
        TMemoryStream archive;
        TZLBArchiveWriter writer(archive);
        const std::string text(300, 'z');
        writer.AddMember("a.txt", text.data(), text.size(), false);
        writer.AddMember("b.bin", text.data(), 40, true);
        writer.Finish();
        files_[kArchive].assign(archive.Memory(), archive.Memory() + archive.Size());
        // A scene-like chunk file: a material with a map inside, then a helper.
        std::vector<uint8_t>& scene = files_[kScene];
        WriteChunkHeader(scene, {kChunkMagic, FourCC("MTRL"), 0x0102, 4, 52});
        scene.insert(scene.end(), 4, 0);
        WriteChunkHeader(scene, {kChunkMagic, FourCC("MMAP"), 0x0102, 8, 28});
        scene.insert(scene.end(), 8, 1);
        WriteChunkHeader(scene, {kChunkMagic, FourCC("HLPR"), 0x0101, 60, 80});
        scene.insert(scene.end(), 60, 2);
        // A font of two glyphs on a 4 x 2 picture.
        TConsoleFont font;
        font.first = 32;
        font.last = 33;
        font.bytesPerPixel = 3;
        font.width = 4;
        font.height = 2;
        font.glyphs.assign(2, TConsoleGlyph{0, 1, 0.5f, 0, 0, 0.5f, 0, 2});
        font.pixels.assign(4 * 2 * 3, 200);
        files_[kFont] = EncodeConsoleFont(font);
        const std::string script = "<demo>\n<resources location=\"file:.\">\n  <image name=\"logo\" "
                                   "value=\"logo.png\"/>\n</resources>\n<part name=\"p\" start=\"1\" "
                                   "stop=\"2\"/>\n</demo>\n";
        files_[kScript].assign(script.begin(), script.end());
        const std::string program = "!!VP1.1\nMOV o[HPOS], v[OPOS];\nMOV o[COL0], v[COL0];\nEND\n";
        files_[kProgram].assign(program.begin(), program.end());
        if (FileExists(kTrueTypeFont)) files_[kTrueType] = ReadFileBytes(kTrueTypeFont);
        // A scene that loads and renders: a lit, seen quad.
        TY3dDocument y3d;
        TY3dObject quad, camera, light;
        quad.What = TY3dObject::okMesh;
        quad.Node.Header = {1, 0, -1, "quad"};
        quad.Mesh.Header = {1, 0, -1, "quad"};
        quad.Mesh.Flags = vfPosition | vfNormal;
        quad.Mesh.VertexCount = 3;
        quad.Mesh.Vertices = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1};
        quad.Mesh.Indices = {0, 1, 2};
        quad.Mesh.Groups = {{4, 0, 0, 3}};
        camera.What = TY3dObject::okCamera;
        camera.Node.Header = camera.Camera.Header = {2, 0, -1, "camera"};
        camera.Node.Translation[2] = 5;
        light.What = TY3dObject::okLight;
        light.Node.Header = light.Light.Header = {3, 0, -1, "light"};
        light.Node.Translation[2] = 5;
        y3d.Objects = {quad, camera, light};
        y3d.Materials.resize(1);
        files_[kY3d] = WriteY3d(y3d);
        // A glTF model of one triangle, its buffer inline.
        const std::string model =
            "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
            "\"nodes\":[{\"name\":\"n\",\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":"
            "{\"POSITION\":0}}]}],\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,"
            "\"type\":\"VEC3\",\"min\":[0,0,0],\"max\":[1,1,0]}],\"bufferViews\":[{\"buffer\":0,"
            "\"byteLength\":36}],\"buffers\":[{\"byteLength\":36,\"uri\":\"data:application/"
            "octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA\"}]}";
        files_[kModel].assign(model.begin(), model.end());
        std::filesystem::create_directory(dir.File("folder"));
    }

    // Writes a file of a kind (cut to two thirds of its length when
    // truncated, which ends it inside a chunk, a tag or a compressed
    // stream) and returns its path.
    std::string Make(TKind kind, const std::string& name, bool truncated = false) {
        std::vector<uint8_t> bytes = files_[kind];
        if (truncated) bytes.resize(bytes.size() * 2 / 3);
        WriteFileBytes(dir.File(name), bytes);
        return dir.File(name);
    }

    // The command line of a row with IN and OUT put in.
    static std::vector<std::string> Line(const TCommand& c, const std::string& in, const std::string& out) {
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            a = a == "IN" ? in : a == "OUT" ? out : a;
        return args;
    }

    // Everything in the scratch folder, recursively.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
            names.insert(entry.path().string());
        return names;
    }

    // Runs every run; each must fail cleanly.
    void Check(const std::vector<TRun>& runs) {
        for (const TRun& run : runs) {
            SCOPED_TRACE(run.what);
            const std::set<std::string> before = Listing();
            std::vector<std::string> args = run.env;
            args.push_back(MIREL_PATH);
            args.insert(args.end(), run.args.begin(), run.args.end());
            CommandResult r = RunProgram("/usr/bin/env", args);
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_EQ(r.out, "");
            EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n' &&
                        std::count(r.err.begin(), r.err.end(), '\n') == 1)
                << "not one line: " << r.err;
            if (!run.named.empty()) {
                EXPECT_NE(r.err.find(run.named), std::string::npos) << r.err;
            }
            EXPECT_EQ(Listing(), before) << "the run left files behind or removed some";
        }
    }

    TempDir dir;
    std::vector<uint8_t> files_[kModel + 1];
};

} // namespace

TEST_F(MirelBadInput, EveryCommandFailsWithOneLineNamingTheFileAndLeavesNothing) {
    const std::string out = dir.File("out.bin");
    for (const TCommand& c : kCommands) {
        std::vector<TRun> runs; // each row's input files are made just before its runs
        std::string command = c.args[0] + (c.args[1] == "IN" || c.args[1] == "OUT" ? "" : " " + c.args[1]);
        if (files_[c.reads].empty()) {
            std::printf("skipped %s: no input of its kind on this machine\n", command.c_str());
            continue;
        }
        auto add = [&](const std::string& what, const std::string& in, const std::string& output,
                       const std::string& named) {
            runs.push_back({command + ": " + what, Line(c, in, output), named, {}});
        };
        if (c.emptyIsBad) {
            WriteFileBytes(dir.File("empty"), {});
            add("empty file", dir.File("empty"), out, dir.File("empty"));
            std::string cut = Make(c.reads, "truncated", true);
            add("truncated file", cut, out, cut);
        }
        if (c.wrongKind != kNone) {
            std::string other = Make(c.wrongKind, "other-kind");
            add("file of another kind", other, out, other);
        }
        add("directory", dir.File("folder"), out, dir.File("folder"));
        add("missing file", dir.File("missing"), out, dir.File("missing"));
        if (std::find(c.args.begin(), c.args.end(), "OUT") != c.args.end()) {
            std::string good = Make(c.reads, "good");
            std::string nowhere = dir.File("no-such-folder/out.bin");
            add("output in a missing folder", good, nowhere, nowhere);
            add("output is a folder", good, dir.File("folder"), dir.File("folder"));
        }
        Check(runs);
    }
    // Commands whose input is not a file.
    std::vector<TRun> runs;
    runs.push_back({"eval: empty expression", {"eval", " "}, "", {}});
    runs.push_back({"eval: truncated expression", {"eval", "(1+2"}, "", {}});
    runs.push_back({"eval: not an expression", {"eval", dir.File("folder")}, "", {}});
    runs.push_back({"glinfo: no video driver", {"glinfo"}, "", {"SDL_VIDEODRIVER=no-such-driver"}});
    Check(runs);

    // The good inputs themselves are accepted (so the failures above are the
    // inputs' doing): a command that needs its kind succeeds on it.
    std::string archive = Make(kArchive, "good.pck");
    EXPECT_EQ(RunMirel({"verify", archive}).exitCode, 0);
    EXPECT_EQ(RunMirel({"xml", Make(kScript, "good.xml")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"script", dir.File("good.xml")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"image", "info", Make(kPicture, "good.tga")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"font", "info", Make(kFont, "good.noc")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"chunks", Make(kScene, "good.y3d")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"vp", "translate", Make(kProgram, "good.vp")}).exitCode, 0);
}
