// The error classes of the device layer. The names are spelled as the rest of
// the engine knows them.
#pragma once

#include "platform/Exception.h"

ZUMBRIX_EXCEPTION(ENoSceneException, Exception);
ZUMBRIX_EXCEPTION(EMatrixExeption, Exception);
ZUMBRIX_EXCEPTION(EDepthmodeExeption, Exception);
ZUMBRIX_EXCEPTION(EEndpolyExeption, Exception);
ZUMBRIX_EXCEPTION(EEndsceneExeption, Exception);
ZUMBRIX_EXCEPTION(ETextureCoordExeption, Exception);
ZUMBRIX_EXCEPTION(ESetTextureExeption, Exception);
ZUMBRIX_EXCEPTION(ETextureExeption, Exception);
ZUMBRIX_EXCEPTION(ESetRGBModeExeption, Exception);
ZUMBRIX_EXCEPTION(ESetAlphaModeExeption, Exception);
ZUMBRIX_EXCEPTION(EUploadCubemapExeption, Exception);
ZUMBRIX_EXCEPTION(ELineException, Exception);
ZUMBRIX_EXCEPTION(EPointException, Exception);
ZUMBRIX_EXCEPTION(EPBufferException, Exception);
ZUMBRIX_EXCEPTION(ENotImplementedExeption, Exception);
// Raised by the geometry and buffer code when an index points outside a stream.
ZUMBRIX_EXCEPTION(EIndexOutOfRange, Exception);
