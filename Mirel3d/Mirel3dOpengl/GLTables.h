// The fixed tables that turn engine enumerations into OpenGL values. A value
// outside an enumeration gives 0 (no valid GL value), as does an entry the
// tables mark as invalid.
#pragma once

#include <cstddef>

#include "Mirel3d/Mirel3dBase/Mirel3dTypes.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

template <class T, size_t N> inline GLenum LookUp(const T (&table)[N], unsigned i) {
    return i < N ? table[i] : 0;
}

inline constexpr GLenum kPrimitive[] = {GL_POINTS,       GL_LINES,     GL_LINE_STRIP,
                                        GL_LINE_LOOP,    GL_TRIANGLES, GL_TRIANGLE_STRIP,
                                        GL_TRIANGLE_FAN, GL_QUADS,     GL_QUAD_STRIP};
inline constexpr GLenum kCompareFunc[] = {0,          GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                          GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
inline constexpr GLenum kBlendFactor[] = {GL_ZERO,
                                          GL_ONE,
                                          GL_SRC_COLOR,
                                          GL_ONE_MINUS_SRC_COLOR,
                                          GL_SRC_ALPHA,
                                          GL_ONE_MINUS_SRC_ALPHA,
                                          GL_DST_ALPHA,
                                          GL_ONE_MINUS_DST_ALPHA,
                                          GL_DST_COLOR,
                                          GL_ONE_MINUS_DST_COLOR,
                                          GL_SRC_ALPHA_SATURATE,
                                          GL_SRC_ALPHA,
                                          GL_ONE_MINUS_SRC_ALPHA};
inline constexpr GLenum kBlendEquation[] = {GL_FUNC_ADD_EXT, GL_FUNC_SUBTRACT_EXT,
                                            GL_FUNC_REVERSE_SUBTRACT_EXT, GL_MIN_EXT, GL_MAX_EXT};
inline constexpr GLenum kStencilOp[] = {GL_KEEP, GL_ZERO,   GL_REPLACE,       GL_INCR,
                                        GL_DECR, GL_INVERT, GL_INCR_WRAP_EXT, GL_DECR_WRAP_EXT};
inline constexpr GLenum kTexGenCoord[] = {GL_S, GL_T, GL_R, GL_Q};
inline constexpr GLenum kTexGenSwitch[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                           GL_TEXTURE_GEN_Q};
inline constexpr GLenum kTexGenMode[] = {
    0, GL_SPHERE_MAP, GL_EYE_LINEAR, GL_OBJECT_LINEAR, GL_REFLECTION_MAP_ARB, GL_NORMAL_MAP_ARB};
inline constexpr GLenum kCombineSource[] = {0,
                                            GL_TEXTURE,
                                            GL_TEXTURE0_ARB,
                                            GL_TEXTURE1_ARB,
                                            GL_TEXTURE2_ARB,
                                            GL_TEXTURE3_ARB,
                                            GL_TEXTURE4_ARB,
                                            GL_TEXTURE5_ARB,
                                            GL_TEXTURE6_ARB,
                                            GL_TEXTURE7_ARB,
                                            GL_CONSTANT_ARB,
                                            GL_PRIMARY_COLOR_ARB,
                                            GL_PREVIOUS_ARB};
inline constexpr GLenum kCombineOperand[] = {0, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA,
                                             GL_ONE_MINUS_SRC_ALPHA};
inline constexpr GLenum kCombineFunction[] = {GL_REPLACE,      GL_DECAL,          GL_MODULATE,
                                              GL_ADD,          GL_ADD_SIGNED_ARB, GL_INTERPOLATE_ARB,
                                              GL_SUBTRACT_ARB, GL_DOT3_RGB_ARB,   GL_DOT3_RGBA_ARB};
inline constexpr GLenum kEnvMode[] = {GL_REPLACE, GL_DECAL,    GL_MODULATE, GL_ADD,     GL_ADD,
                                      GL_BLEND,   GL_MODULATE, GL_MODULATE, GL_MODULATE};
inline constexpr GLenum kColorComponent[] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION};
inline constexpr GLenum kMaterialFace[] = {GL_FRONT, GL_BACK, GL_FRONT_AND_BACK};
inline constexpr GLenum kSourceRGB[] = {GL_SOURCE0_RGB_ARB, GL_SOURCE1_RGB_ARB, GL_SOURCE2_RGB_ARB,
                                        GL_SOURCE3_RGB_NV};
inline constexpr GLenum kOperandRGB[] = {GL_OPERAND0_RGB_ARB, GL_OPERAND1_RGB_ARB, GL_OPERAND2_RGB_ARB,
                                         GL_OPERAND3_RGB_NV};
inline constexpr GLenum kSourceAlpha[] = {GL_SOURCE0_ALPHA_ARB, GL_SOURCE1_ALPHA_ARB, GL_SOURCE2_ALPHA_ARB,
                                          GL_SOURCE3_ALPHA_NV};
inline constexpr GLenum kOperandAlpha[] = {GL_OPERAND0_ALPHA_ARB, GL_OPERAND1_ALPHA_ARB,
                                           GL_OPERAND2_ALPHA_ARB, GL_OPERAND3_ALPHA_NV};

inline GLenum PrimitiveGL(T3dPrimitiveKind k) {
    return LookUp(kPrimitive, k);
}
inline GLenum CompareFuncGL(T3dCompareFunc f) {
    return LookUp(kCompareFunc, f);
}
inline GLenum BlendFactorGL(T3dBlendFactor f) {
    return LookUp(kBlendFactor, f);
}
inline GLenum BlendEquationGL(T3dBlendEquation e) {
    return LookUp(kBlendEquation, e);
}
inline GLenum StencilOpGL(T3dStencilOp o) {
    return LookUp(kStencilOp, o);
}
inline GLenum CombineSourceGL(T3dCombineSource s) {
    return LookUp(kCombineSource, s);
}
inline GLenum CombineOperandGL(T3dCombineOperand o) {
    return LookUp(kCombineOperand, o);
}
inline GLenum CombineFunctionGL(T3dCombineFunction f) {
    return LookUp(kCombineFunction, f);
}
inline GLenum EnvModeGL(T3dCombineFunction f) {
    return LookUp(kEnvMode, f);
}
inline GLenum MaterialFaceGL(T3dMaterialFace f) {
    return LookUp(kMaterialFace, f);
}
