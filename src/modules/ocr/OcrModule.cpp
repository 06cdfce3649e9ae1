// Text recognition through Tesseract's LSTM engine, built as a module of its own:
// the library and its models cost tens of megabytes that only recognition needs.
#include "modules/ocr/OcrModule.h"

#include <malloc.h>
#include <memory>
#include <mutex>
#include <omp.h>
#include <string>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace
{

struct Engine {
    std::mutex mutex;
    tesseract::TessBaseAPI api;
    std::string dataFolder;
    std::string languages;
    bool ready = false;
};

// One engine kept between calls, until released: loading the models takes
// longer than reading a typical capture.
Engine &engine()
{
    static Engine *instance = new Engine;
    return *instance;
}

bool prepare(Engine &e, const char *dataFolder, const char *languages)
{
    if (e.ready && e.dataFolder == dataFolder && e.languages == languages)
        return true;
    e.ready = false;
    e.api.End();
    if (e.api.Init(dataFolder, languages, tesseract::OEM_LSTM_ONLY) != 0)
        return false;
    // Its progress notes would otherwise go to our standard error.
    e.api.SetVariable("debug_file", "/dev/null");
    e.api.SetPageSegMode(tesseract::PSM_AUTO);
    e.dataFolder = dataFolder;
    e.languages = languages;
    e.ready = true;
    return true;
}

} // namespace

extern "C" ZORV_OCR_EXPORT const char *zorv_ocr_recognize(const unsigned char *grey, int width,
                                                          int height, int bytesPerLine,
                                                          const char *dataFolder,
                                                          const char *languages,
                                                          ZorvOcrLineFound found, void *userdata)
{
    if (!grey || width <= 0 || height <= 0)
        return nullptr;
    // One thread: OpenMP's team makes Tesseract several times slower on a busy
    // two-core machine. OMP_THREAD_LIMIT cannot do it, as Qt's hashing already
    // loaded libgomp at start, and Tesseract asks for its teams by size; with no
    // active level allowed, each of its parallel regions runs on this thread.
    omp_set_max_active_levels(0);
    Engine &e = engine();
    std::lock_guard lock(e.mutex);
    if (!prepare(e, dataFolder, languages))
        return "the language data could not be loaded";
    e.api.SetImage(grey, width, height, 1, bytesPerLine);
    // Screen pixels: without a resolution Tesseract guesses and says so.
    e.api.SetSourceResolution(96);
    if (e.api.Recognize(nullptr) != 0) {
        e.api.Clear();
        return "the recogniser failed";
    }
    std::unique_ptr<tesseract::ResultIterator> it(e.api.GetIterator());
    constexpr auto level = tesseract::RIL_TEXTLINE;
    if (it && !it->Empty(level)) {
        do {
            std::unique_ptr<char[]> text(it->GetUTF8Text(level));
            if (!text)
                continue;
            std::string line(text.get());
            while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
                line.pop_back();
            if (line.empty())
                continue;
            int left = 0, top = 0, right = 0, bottom = 0;
            it->BoundingBox(level, &left, &top, &right, &bottom);
            found(userdata, line.c_str(), it->Confidence(level), left, top, right, bottom);
        } while (it->Next(level));
    }
    it.reset();
    e.api.Clear();
    return nullptr;
}

extern "C" ZORV_OCR_EXPORT int zorv_ocr_release()
{
    Engine &e = engine();
    std::unique_lock lock(e.mutex, std::try_to_lock);
    if (!lock || !e.ready)
        return 0;
    e.ready = false;
    e.api.End();
    lock.unlock();
    malloc_trim(0);
    return 1;
}
