// The vertex-program class with its register table, the character-class
// tokenizer and the assignment-language translator.
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "Mirel3d/Mirel3dOpengl/NvidiaVertexProgram.h"
#include "Mirel3d/Mirel3dOpengl/StreamTokenizer.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglVertexProgram.h"
#include "data/FlexibleStream.h"
#include "tests/nv/NvGl.h"
#include "tests/support/TestSupport.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct Tokens {
    explicit Tokens(const std::string& text)
        : text_(text), stream_(text_.data(), int64_t(text_.size())), tok(&stream_) {}
    std::string text_;
    TReadOnlyMemoryStream stream_;
    TStreamTokenizer tok;
};

std::vector<std::string> Translate(const std::string& text) {
    TReadOnlyMemoryStream s(text.data(), int64_t(text.size()));
    return TNvidiaVertexProgram::Translate(s);
}

} // namespace

TEST(StreamTokenizer, NumbersInTheDefaultConfiguration) {
    Tokens t("1.25 -.5 1.2.3 - x -7 12");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, 1.25);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, -0.5);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, 1.2);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, 0.3);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttOrdinary); // '-' not followed by a digit or '.'
    EXPECT_EQ(t.tok.Ordinary, "-");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "x");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, -7);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttNumber);
    EXPECT_DOUBLE_EQ(t.tok.Number, 12);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttEndOfStream);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttEndOfStream);
}

TEST(StreamTokenizer, WordsQuotesCommentsLinesAndPushBack) {
    Tokens t("Abc9d 'it''s' \"open\r\nnext ; rest\rx\n\n\xe9t\xe9");
    t.tok.LowerCaseWords = true;
    t.tok.CommentChar(';');
    EXPECT_EQ(t.tok.TokenType, TStreamTokenizer::ttNothing);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "abc9d"); // digits are numeric: they continue a word
    t.tok.PushBack();
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "abc9d");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttQuoted);
    EXPECT_EQ(t.tok.Word, "it");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttQuoted);
    EXPECT_EQ(t.tok.Word, "s");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttQuoted); // an open quote ends at the line end
    EXPECT_EQ(t.tok.Word, "open");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "next");
    EXPECT_EQ(t.tok.Line, 2);
    t.tok.EolSignificant = true;
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttEndOfLine); // the comment skipped, CR counted
    EXPECT_EQ(t.tok.Line, 3);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttEndOfLine);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttEndOfLine);
    EXPECT_EQ(t.tok.Line, 5);
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "\xe9t\xe9"); // 160-255 are word characters
}

TEST(StreamTokenizer, LongWordsKeepTheirFirstThousandCharacters) {
    Tokens t(std::string(5000, 'w') + " after");
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word.size(), size_t(TStreamTokenizer::kBufferSize - 1));
    EXPECT_EQ(t.tok.NextToken(), TStreamTokenizer::ttWord);
    EXPECT_EQ(t.tok.Word, "after");
}

TEST(NvidiaVertexProgram, AssignmentsAndMoveCallsBecomeMoves) {
    std::vector<std::string> lines = Translate("outVertex = -inNormal.xyz;\n"
                                               "# a comment ; with a semicolon\n"
                                               "MOV(OUTPRIMARYCOLOR, inPrimaryColor.xyzw);\n"
                                               "ADD(outVertex, inVertex, inNormal);\n"
                                               "outTextureCoordinate0 = inVertex;\n"
                                               "outFogCoordinate = -inFogCoordinate.x\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "MOV  o[HPOS],-v[NRML.xyz];");
    EXPECT_EQ(lines[1], "MOV  o[COL0], v[COL0.xyzw];");
    EXPECT_EQ(lines[2], ""); // not a move
    EXPECT_EQ(lines[3], ""); // digits end a word: "outTextureCoordinate" is no output
    EXPECT_EQ(lines[4], "MOV  o[FOGC],-v[FOGC.x];");
}

TEST(NvidiaVertexProgram, ManySeparatorsAndUnknownWordsAreHarmless) {
    std::vector<std::string> lines =
        Translate("MOV(a,b,c,d,e,f,g,h,i, outVertex, inVertex) = = = ;;unknown words;");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "");
}

TEST(T3dOpenglVertexProgram, RegistersMatricesAndTracking) {
    TRefPtr<T3dOpenglVertexProgram> p(new T3dOpenglVertexProgram());
    T3dMatrix m;
    for (int i = 0; i < 16; i++)
        m.m[i] = float(i + 1);
    p->SetMatrixParameter(8, m);
    p->TrackMatrix(8, mkTexture0, 3);
    EXPECT_TRUE(p->Register(8).Used);
    EXPECT_EQ(p->Register(8).Kind, 1);
    EXPECT_EQ(p->Register(8).Matrix, uint8_t(mkTexture0));
    EXPECT_EQ(p->Register(8).Transform, 3);
    for (int r = 1; r < 4; r++) {
        const auto& slot = p->Register(8 + r);
        EXPECT_EQ(slot.Kind, 0);
        EXPECT_EQ(slot.x, m.m[r]);
        EXPECT_EQ(slot.y, m.m[r + 4]);
        EXPECT_EQ(slot.z, m.m[r + 8]);
        EXPECT_EQ(slot.w, m.m[r + 12]);
    }
    float v[4] = {1, 2, 3, 4};
    p->SetVectorParameter(95, v);
    EXPECT_EQ(p->Register(95).w, 4);
    // Registers outside the table, a matrix that would run past its end and a
    // tracked block not on a multiple of four are ignored.
    p->SetVector(96, 1, 1, 1, 1);
    p->SetVector(-1, 1, 1, 1, 1);
    p->SetMatrixParameter(93, m);
    p->TrackMatrix(6, mkComposed, 0);
    p->TrackMatrix(96, mkComposed, 0);
    EXPECT_FALSE(p->Register(93).Used);
    EXPECT_FALSE(p->Register(6).Used);
    EXPECT_FALSE(p->Register(0).Used);
}

// Loaded from a file through the flexible streams, selected through the
// device's SetVertexProgram path, and drawn: the constants and a tracked
// matrix reach the program.
TEST(T3dOpenglVertexProgram, LoadFromFileSelectAndDraw) {
    NV_REQUIRE_GL();
    TempDir dir;
    WriteFileText(dir.File("vpTest.txt"),
                  "!!VP1.1 OPTION NV_position_invariant;\n"
                  "MOV o[TEX0], c[20];\nMOV o[TEX1], c[9];\nMOV o[TEX2], c[13];\nEND\n");
    WriteFileText(dir.File("vpBad.txt"), "!!VP1.1\nMOV o[TEX0], c[20];\nMOV o[TEX9], c[20];\nEND\n");
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetPath(dir.Path() + "/");
    TRefPtr<T3dOpenglVertexProgram> p(new T3dOpenglVertexProgram());
    EXPECT_NE(p->GetProgramId(), 0u);
    p->LoadFromFile("VPTEST.TXT"); // names match without regard to case
    p->SetVector(20, 0.5f, -1.5f, 2.5f, 8);
    T3dMatrix m;
    for (int i = 0; i < 16; i++)
        m.m[i] = float(i) * 0.5f;
    p->SetMatrixParameter(12, m);
    p->TrackMatrix(8, mkModelview, 1); // transpose: row 1 = column 1 of the model-view
    NvResetState();
    NvBindTarget(true);
    GL.glMatrixMode(GL_MODELVIEW);
    float mv[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    mv[4] = 0.25f, mv[5] = 2, mv[6] = -3, mv[7] = 0; // column 1
    float ortho[16];
    GL.glGetFloatv(GL_PROJECTION_MATRIX, ortho);
    GL.glLoadMatrixf(mv);
    // Keep the point on pixel (0, 0): the projection undoes the model-view.
    GL.glMatrixMode(GL_PROJECTION);
    float inv[16] = {1, 0, 0, 0, -0.125f, 0.5f, 1.5f, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    GL.glMultMatrixf(inv);
    GL.glMatrixMode(GL_MODELVIEW);
    // Device SetVertexProgram: enable, bind, apply the registers.
    GL.glEnable(GL_VERTEX_PROGRAM_NV);
    GL.glBindProgramNV(GL_VERTEX_PROGRAM_NV, p->GetProgramId());
    p->ApplyParameters();
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR));
    static const char* const sources[3] = {"fragment.texcoord[0]", "fragment.texcoord[1]",
                                           "fragment.texcoord[2]"};
    const float expected[3][4] = {{0.5f, -1.5f, 2.5f, 8}, {0.25f, 2, -3, 0}, {0.5f, 2.5f, 4.5f, 6.5f}};
    for (int k = 0; k < 3; k++) {
        std::string text = std::string("!!ARBfp1.0\nMOV result.color, ") + sources[k] + ";\nEND\n";
        GLuint fp = 0;
        ext->glGenProgramsARB(1, &fp);
        ext->glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, fp);
        ext->glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(text.size()),
                                text.data());
        GL.glEnable(GL_FRAGMENT_PROGRAM_ARB);
        GL.glClear(GL_COLOR_BUFFER_BIT);
        GL.glBegin(GL_POINTS);
        GL.glVertex2f(0.5f, 0.5f);
        GL.glEnd();
        std::vector<float> px = NvReadTarget();
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(px[size_t(c)], expected[k][c], 1e-5) << sources[k] << " component " << c;
        GL.glDisable(GL_FRAGMENT_PROGRAM_ARB);
        ext->glDeleteProgramsARB(1, &fp);
    }
    GL.glDisable(GL_VERTEX_PROGRAM_NV);
    // A text the translator refuses names the file and the line.
    try {
        p->LoadFromFile("vpBad.txt");
        ADD_FAILURE() << "no error";
    } catch (const ENvProgramError& e) {
        EXPECT_NE(std::string(e.what()).find("vpBad.txt: "), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("line 3: no output register o[TEX9]"), std::string::npos)
            << e.what();
    }
    GL.glGetError();
    // A missing file fails in the stream layer.
    EXPECT_THROW(p->LoadFromFile("vpMissing.txt"), EFlexibleStreamError);
}

// Programs of one device with the same text share one GL program object,
// which lives as long as any of them uses it.
TEST(T3dOpenglVertexProgram, ProgramsWithTheSameTextShareOneObject) {
    NV_REQUIRE_GL();
    auto isProgram = reinterpret_cast<PFNGLISPROGRAMARBPROC>(SDL_GL_GetProcAddress("glIsProgramARB"));
    ASSERT_TRUE(isProgram);
    auto share = std::make_shared<TVertexProgramShare>();
    auto make = [&] {
        TRefPtr<T3dOpenglVertexProgram> p(new T3dOpenglVertexProgram());
        p->Share = share;
        return p;
    };
    auto text = [](int reg) {
        return "!!VP1.1 OPTION NV_position_invariant;\nMOV o[TEX0], c[" + std::to_string(reg) + "];\nEND\n";
    };
    auto load = [](T3dOpenglVertexProgram* p, const std::string& t) {
        p->LoadProgram(t.data(), int32_t(t.size()));
    };
    TRefPtr<T3dOpenglVertexProgram> p1 = make(), p2 = make(), p3 = make();
    load(p1.Get(), text(20));
    load(p2.Get(), text(20));
    load(p3.Get(), text(21));
    const uint32_t shared = p1->GetProgramId();
    EXPECT_EQ(p2->GetProgramId(), shared);
    EXPECT_NE(p3->GetProgramId(), shared);
    // Another text loaded into one of two users gives it an object of its own.
    load(p2.Get(), text(22));
    EXPECT_NE(p2->GetProgramId(), shared);
    EXPECT_NE(p2->GetProgramId(), p3->GetProgramId());
    EXPECT_TRUE(isProgram(shared));
    // A program alone with its object keeps it when it loads another text.
    load(p2.Get(), text(23));
    EXPECT_EQ(share->Entries.size(), 3u);
    // The last user of an object deletes it; the others' stay.
    p1 = nullptr;
    EXPECT_FALSE(isProgram(shared));
    EXPECT_TRUE(isProgram(p3->GetProgramId()));
    EXPECT_EQ(share->Entries.size(), 2u);
    p2 = nullptr;
    p3 = nullptr;
    EXPECT_TRUE(share->Entries.empty());
    GL.glGetError();
}
