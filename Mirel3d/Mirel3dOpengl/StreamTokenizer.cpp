#include "Mirel3d/Mirel3dOpengl/StreamTokenizer.h"

#include <algorithm>
#include <cmath>

TStreamTokenizer::TStreamTokenizer(TStream* source) : Source(source) {
    ResetSyntax();
    WordChars('a', 'z');
    WordChars('A', 'Z');
    WordChars(160, 255);
    WhiteSpaceChars(0, 32);
    QuoteChar('"');
    QuoteChar('\'');
    NumericChars('0', '9');
    NumericChars('.', '.');
    NumericChars('-', '-');
}

void TStreamTokenizer::SetClass(int lo, int hi, unsigned char cls) {
    for (int c = std::max(lo, 0); c <= std::min(hi, 255); c++)
        Classes[c] = cls;
}

void TStreamTokenizer::ResetSyntax() {
    SetClass(0, 255, ccOrdinary);
}
void TStreamTokenizer::WordChars(int lo, int hi) {
    SetClass(lo, hi, ccWord);
}
void TStreamTokenizer::WhiteSpaceChars(int lo, int hi) {
    SetClass(lo, hi, ccWhiteSpace);
}
void TStreamTokenizer::OrdinaryChars(int lo, int hi) {
    SetClass(lo, hi, ccOrdinary);
}
void TStreamTokenizer::NumericChars(int lo, int hi) {
    SetClass(lo, hi, ccNumeric);
}
void TStreamTokenizer::QuoteChar(int ch) {
    SetClass(ch, ch, ccQuote);
}
void TStreamTokenizer::CommentChar(int ch) {
    SetClass(ch, ch, ccComment);
}

int TStreamTokenizer::ReadChar() {
    unsigned char c;
    if (!Source || Source->Read(&c, 1) != 1) return -1;
    return c;
}

int TStreamTokenizer::NextToken() {
    if (PushedBack) {
        PushedBack = false;
        return TokenType;
    }
    int c = TokenType == ttNothing ? ReadChar() : Peek;
    Word.clear();
    Ordinary.clear();
    for (;;) {
        // White space, counting lines: CR, LF and CR LF each count one.
        while (c >= 0 && (Classes[c] & ccWhiteSpace)) {
            if (c == '\r' || c == '\n') {
                Line++;
                int next = ReadChar();
                if (c == '\r' && next == '\n') next = ReadChar();
                c = next;
                if (EolSignificant) {
                    Peek = c;
                    return TokenType = ttEndOfLine;
                }
            } else {
                c = ReadChar();
            }
        }
        if (c < 0) {
            Peek = -1;
            return TokenType = ttEndOfStream;
        }
        unsigned char cls = Classes[c];
        if (cls & ccNumeric) {
            bool negative = false;
            if (c == '-') {
                c = ReadChar();
                if (c != '.' && !(c >= '0' && c <= '9')) {
                    Peek = c;
                    Ordinary.assign(1, '-');
                    return TokenType = ttOrdinary;
                }
                negative = true;
            }
            double value = 0;
            int decimals = 0;
            bool fraction = false;
            for (;;) {
                if (c == '.') {
                    if (fraction) break; // a second '.' ends the number and starts the next
                    fraction = true;
                } else if (c >= '0' && c <= '9') {
                    value = value * 10 + (c - '0');
                    if (fraction) decimals++;
                } else {
                    break;
                }
                c = ReadChar();
            }
            Peek = c;
            if (decimals > 0) value /= std::pow(10.0, decimals);
            Number = negative ? -value : value;
            return TokenType = ttNumber;
        }
        if (cls & ccWord) {
            while (c >= 0 && (Classes[c] & (ccWord | ccNumeric))) {
                if (int(Word.size()) < kBufferSize - 1) Word += char(c);
                c = ReadChar();
            }
            Peek = c;
            if (LowerCaseWords)
                for (char& ch : Word)
                    if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
            return TokenType = ttWord;
        }
        if (cls & ccComment) {
            while (c >= 0 && c != '\r' && c != '\n')
                c = ReadChar();
            continue; // the line end is counted by the white-space loop
        }
        if (cls & ccQuote) {
            int quote = c;
            c = ReadChar();
            while (c >= 0 && c != quote && c != '\r' && c != '\n') {
                if (int(Word.size()) < kBufferSize - 1) Word += char(c);
                c = ReadChar();
            }
            if (c == quote) c = ReadChar();
            Peek = c;
            return TokenType = ttQuoted;
        }
        Ordinary = std::string(1, char(c));
        Peek = ReadChar();
        return TokenType = ttOrdinary;
    }
}
