#pragma once

// The entry point of the text recognition module (libzorv-ocr.so), which Zorv
// loads with QLibrary when text is first recognised. Plain C types only, so the
// module needs neither Qt nor Zorv.

#define ZORV_OCR_EXPORT __attribute__((visibility("default")))

extern "C" {
// Called once for each text line, in the recogniser's order: its UTF-8 text
// (no trailing line feed), confidence 0…100 and box in pixels of the picture
// given, top-left origin, right and bottom exclusive.
using ZorvOcrLineFound = void (*)(void *userdata, const char *text, float confidence, int left,
                                  int top, int right, int bottom);
// Recognises the lines of an 8-bit grey picture with the languages named as
// Tesseract names them ("deu+eng") from the traineddata files in `dataFolder`.
// Null on success, otherwise why it failed (a static text).
using ZorvOcrRecognize = const char *(*)(const unsigned char *grey, int width, int height,
                                         int bytesPerLine, const char *dataFolder,
                                         const char *languages, ZorvOcrLineFound found,
                                         void *userdata);
// Unloads the engine and its models and returns the freed memory to the system,
// unless a recognition is running. Nonzero when the models were released.
using ZorvOcrRelease = int (*)();
}
