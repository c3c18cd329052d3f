// This program embeds its own archive and a loose resource (extra.cmake):
// the streams must reach both exactly as zumbrix reaches its data.
#include "data/FlexibleStream.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

namespace {

std::string ReadAll(const std::string& name) {
    TFlexibleStream s(name);
    std::string text(static_cast<size_t>(s.GetSize()), '\0');
    s.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

} // namespace

TEST(EmbeddedResources, ArchiveOpensFromTheExecutableInPlace) {
    TFlexibleStream::ResetSettings();
    const TResourceBlock* block = FindResource("pck", "files");
    ASSERT_NE(block, nullptr);
    TFlexibleStream::SetMode(lmPackedResource);
    TFlexibleStream::OpenArchive("FILES");
    EXPECT_EQ(TFlexibleStream::Settings().archiveSource->MemoryView(), block->data); // not copied
    EXPECT_EQ(ReadAll("data\\MEMBER.TXT"), "packed member\n");
    EXPECT_EQ(ReadAll("loose.dat"), "loose resource\n");
}

TEST(EmbeddedResources, ResourceModeAndMissingResources) {
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmResource);
    EXPECT_EQ(ReadAll("loose.dat"), "loose resource\n");
    EXPECT_EQ(FindResource("PCK", "OTHER"), nullptr);
    EXPECT_THROW(TFlexibleStream::OpenArchive("OTHER"), Exception);
}
