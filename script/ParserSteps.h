// The evaluator's step routines and power helpers, shared by the compiler
// (Parser.cpp) and the arithmetic (ParserFunctions.cpp). Internal.
#pragma once

#include "script/Parser.h"

// a raised to the integer n by square-and-multiply (negative n: the reciprocal).
TParserFloat ParserIntPower(TParserFloat base, int64_t n);
// The general power: 1 for p = 0, 0 for base 0 and p > 0, the integer power for
// whole p up to 2147483647 in size, else exp(p * ln base).
TParserFloat ParserGeneralPower(TParserFloat base, TParserFloat p);

void StepPass(const TCustomParser::TStep& s);
void StepNeg(const TCustomParser::TStep& s);
void StepAdd(const TCustomParser::TStep& s);
void StepSub(const TCustomParser::TStep& s);
void StepMul(const TCustomParser::TStep& s);
void StepDiv(const TCustomParser::TStep& s);
void StepIntDiv(const TCustomParser::TStep& s);
void StepMod(const TCustomParser::TStep& s);
void StepIntPower(const TCustomParser::TStep& s);
void StepPower(const TCustomParser::TStep& s);
void StepSquare(const TCustomParser::TStep& s);
void StepCube(const TCustomParser::TStep& s);
void StepFourth(const TCustomParser::TStep& s);
void StepFunc1(const TCustomParser::TStep& s);
void StepFunc2(const TCustomParser::TStep& s);
