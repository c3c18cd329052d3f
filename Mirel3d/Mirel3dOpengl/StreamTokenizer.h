// TStreamTokenizer: a character-class tokenizer over a text stream. Each byte
// has a set of classes (ordinary, white space, numeric, word, quote, comment)
// that decides how a token starting with it is read.
#pragma once

#include "data/Stream.h"

#include <string>

class TStreamTokenizer {
public:
    // Character class bits.
    enum : unsigned char {
        ccOrdinary = 1,
        ccWhiteSpace = 2,
        ccNumeric = 4,
        ccWord = 8,
        ccQuote = 16,
        ccComment = 32
    };
    // Token types.
    enum : int {
        ttEndOfStream = 0,
        ttEndOfLine = 1,
        ttNumber = 2,
        ttWord = 3,
        ttNothing = 4,
        ttQuoted = 5,
        ttOrdinary = 6
    };
    // Words and quoted texts keep at most this many characters; the rest of a
    // longer one is read and dropped.
    static constexpr int kBufferSize = 1001;

    // Reads from source (not owned) with the default configuration: every
    // character ordinary, words a-z, A-Z and 160-255, white space 0-32, quotes
    // '"' and '\'', numeric 0-9, '.' and '-'.
    explicit TStreamTokenizer(TStream* source);

    // Class set-up: each sets the given class for the characters lo..hi.
    void ResetSyntax(); // every character ordinary
    void WordChars(int lo, int hi);
    void WhiteSpaceChars(int lo, int hi);
    void OrdinaryChars(int lo, int hi);
    void NumericChars(int lo, int hi);
    void QuoteChar(int ch);
    void CommentChar(int ch);

    // Reads the next token and returns its type (also in TokenType).
    int NextToken();
    // The next NextToken returns the current token again.
    void PushBack() { PushedBack = true; }

    unsigned char Classes[256];
    TStream* Source;
    int TokenType = ttNothing;
    std::string Word;
    std::string Ordinary;
    double Number = 0;
    int Line = 1;
    bool LowerCaseWords = false;
    bool EolSignificant = false;
    bool PushedBack = false;
    int Peek = -1;

private:
    int ReadChar();
    void SetClass(int lo, int hi, unsigned char cls);
};
