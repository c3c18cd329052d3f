// The real demo archive, damaged one member at a time: each member cut to
// half its length, its bytes flipped in places, or left out, and the archive
// repacked around it. zumbrix then renders a second of the demo offline from
// that archive. Every run must end as a user can understand it: the frames
// written and exit status 0, or exit status 1 with a message on standard
// error that names the damaged file. Never a crash, a hang or a frame that
// is not a whole picture.
#include "data/ZLBArchive.h"
#include "data/ZLBArchiveWriter.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct TMember {
    std::string name;
    std::vector<uint8_t> bytes;
    bool stored;
};

std::vector<TMember> ReadDemoArchive() {
    TFileStream file(std::string(ZUMBRIX_BINARY_DIR) + "/app/FILES.pck", TFileStream::fmOpenRead);
    TZLBArchive archive;
    archive.OpenStream(file);
    std::vector<TMember> members;
    for (int i = 0; i < archive.EntryCount(); i++) {
        TZLBEntry entry = archive.GetEntry(i);
        TMemoryStream data;
        archive.ExtractStream(data, i);
        members.push_back({entry.Name(), std::vector<uint8_t>(data.Memory(), data.Memory() + data.Size()),
                           bool(entry.stored)});
    }
    return members;
}

// How a member is damaged; false leaves it out of the archive.
using TDamage = std::function<bool(std::vector<uint8_t>&)>;

bool Truncate(std::vector<uint8_t>& bytes) {
    bytes.resize(bytes.size() / 2);
    return true;
}

// Inverts eight bytes spread over the member, the first one included.
bool Flip(std::vector<uint8_t>& bytes) {
    for (size_t k = 0; k < 8 && !bytes.empty(); k++)
        bytes[k * (bytes.size() - 1) / 7] ^= 0xA5;
    return true;
}

bool Remove(std::vector<uint8_t>&) {
    return false;
}

// Repacks the archive with member `damaged` damaged, renders one second of
// the demo from it and checks how the run ended.
void CheckRun(const std::vector<TMember>& members, size_t damaged, const TDamage& damage, const char* what) {
    const TMember& member = members[damaged];
    SCOPED_TRACE(std::string(what) + " " + member.name);
    TempDir dir;
    const std::string archive = dir.File("damaged.pck");
    {
        TFileStream out(archive, TFileStream::fmCreate);
        TZLBArchiveWriter writer(out);
        for (size_t i = 0; i < members.size(); i++) {
            std::vector<uint8_t> bytes = members[i].bytes;
            if (i == damaged && !damage(bytes)) continue;
            writer.AddMember(members[i].name, bytes.data(), bytes.size(), members[i].stored);
        }
        writer.Finish();
    }
    const std::string frames = dir.File("frames");
    // The display is not what is tested here: a test display that refuses a
    // connection now and then when the machine is loaded is tried again.
    CommandResult r;
    for (int attempt = 0; attempt < 3; attempt++) {
        r = RunProgram("/usr/bin/timeout",
                       {"-k", "10", "120", ZUMBRIX_PATH, "--archive", archive, "--render-frames", frames,
                        "--fps", "2", "--duration", "1", "--window", "64x48"});
        if (r.exitCode != 1 || r.err.find("no X11 or Wayland display can be reached") == std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1)
        << "exit status " << r.exitCode << " (a crash or a hang)\n"
        << r.err;
    if (r.exitCode == 1) {
        // The message names the file (scripts name pictures in any letter case).
        std::string err = r.err, name = member.name;
        for (char& c : err)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_NE(err.find(name), std::string::npos) << "the message does not name the file:\n" << r.err;
        return;
    }
    // Played: two whole frames of the asked size (an 18-byte Targa header,
    // then run-length packets of 64 x 48 pixels).
    for (const char* frame : {"frame_00000.tga", "frame_00001.tga"}) {
        const std::string path = frames + "/" + frame;
        ASSERT_TRUE(FileExists(path)) << frame << "\n" << r.err;
        std::vector<uint8_t> tga = ReadFileBytes(path);
        ASSERT_GE(tga.size(), 18u);
        EXPECT_EQ(tga[12] | (tga[13] << 8), 64) << frame;
        EXPECT_EQ(tga[14] | (tga[15] << 8), 48) << frame;
    }
}

void CheckEveryMember(const TDamage& damage, const char* what) {
    const std::vector<TMember> members = ReadDemoArchive();
    ASSERT_GT(members.size(), 10u);
    for (size_t i = 0; i < members.size(); i++)
        CheckRun(members, i, damage, what);
}

TEST(DamagedData, EveryMemberCutToHalf) {
    CheckEveryMember(Truncate, "truncated");
}

// The sanitizer build runs the cut members only: flipped and missing members
// take the same paths there, and every run is several times slower.
TEST(DamagedData, EveryMemberWithFlippedBytes) {
    if (kSanitized) GTEST_SKIP() << "cut members cover these paths in the sanitizer build";
    CheckEveryMember(Flip, "flipped");
}

TEST(DamagedData, EveryMemberMissing) {
    if (kSanitized) GTEST_SKIP() << "cut members cover these paths in the sanitizer build";
    CheckEveryMember(Remove, "removed");
}

} // namespace
