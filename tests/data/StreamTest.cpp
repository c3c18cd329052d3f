#include "data/Stream.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(MemoryStream, ReadWriteSeekAndSize) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.GetSize(), 5);
    EXPECT_EQ(s.GetPosition(), 5);
    s.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "ello");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(10); // past the end: reads nothing, writes grow
    EXPECT_EQ(s.Read(buf, 1), 0);
    s.WriteBuffer("x", 1);
    EXPECT_EQ(s.GetSize(), 11);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
    EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

TEST(ReadOnlyMemoryStream, RefusesWrites) {
    const char data[] = "abc";
    TReadOnlyMemoryStream s(data, 3);
    EXPECT_EQ(s.GetSize(), 3);
    EXPECT_EQ(s.MemoryView(), reinterpret_cast<const uint8_t*>(data));
    EXPECT_THROW(s.Write("x", 1), EWriteError);
}

TEST(FileStream, MissingFileNamesIt) {
    try {
        TFileStream s("/nonexistent/zumbrix.xml", TFileStream::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/zumbrix.xml"), std::string::npos);
    }
}
