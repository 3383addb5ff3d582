// Text recognition with Tesseract. One recogniser per thread, made on first use and kept,
// since loading the English model takes longer than reading a small picture.
#include "TextFinder.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <leptonica/allheaders.h>
#include <memory>
#include <mutex>
#include <omp.h>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace ombrel::TextFinder {

namespace {

// Tesseract's OpenMP threads fight over the two cores with everything else and make a
// reading several times slower: one thread per recogniser, and readings run side by side.
// Setting the maximum of active levels to 0 makes every OpenMP team in the process one
// thread, which the sections runtime below relies on.
void limitToOneThread() {
    static std::once_flag once;
    std::call_once(once, [] {
        qputenv("OMP_THREAD_LIMIT", "1");
        omp_set_max_active_levels(0);
        omp_set_num_threads(1);
    });
}

tesseract::TessBaseAPI* recogniser() {
    thread_local std::unique_ptr<tesseract::TessBaseAPI> api;
    thread_local bool failed = false;
    if (api || failed) return api.get();
    limitToOneThread();
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    // Language correction off: no word lists, so code, addresses and keys are read as they
    // appear rather than as the nearest English word.
    std::vector<std::string> names{"load_system_dawg", "load_freq_dawg"};
    std::vector<std::string> values{"0", "0"};
    if (made->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0) {
        failed = true;
        return nullptr;
    }
    made->SetVariable("debug_file", "/dev/null");
    api = std::move(made);
    return api.get();
}

// The grey picture's pixels as an OpenCV matrix, without a copy: what is drawn on the
// matrix is drawn on the picture.
cv::Mat pixelsOf(QImage& grey) {
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, grey.bits(), size_t(grey.bytesPerLine()));
}

// Long horizontal lines (the top and bottom of a button, a field or a table's rows, rules,
// underlines) are painted over with the page around them before reading: the recogniser
// takes a box drawn around words for a picture and skips the words inside it. The box's
// sides remain and read as bars, which `splitLine` drops. `length` is in the grey picture's
// pixels; letters have no horizontal stroke that long.
void eraseHorizontalRules(QImage& grey, int length) {
    if (length < 2 || grey.width() <= length || grey.height() < 3) return; // too narrow to hold such a line
    cv::Mat page = pixelsOf(grey);
    cv::Mat ink;
    cv::threshold(page, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    cv::Mat rules;
    cv::morphologyEx(ink, rules, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {length, 1}));
    // A line is thin: what is as tall as an eighth of the length is a filled area (a
    // panel, a button) and stays, with the words on it.
    cv::Mat filled;
    cv::morphologyEx(ink, filled, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, {1, std::max(5, length / 8)}));
    rules.setTo(0, filled);
    if (cv::countNonZero(rules) == 0) return;
    cv::dilate(rules, rules, cv::Mat()); // and their anti-aliased edges
    // The lightest grey a few pixels above or below is the page the line was drawn on.
    cv::Mat around;
    cv::dilate(page, around, cv::getStructuringElement(cv::MORPH_RECT, {1, 9}));
    around.copyTo(page, rules);
}

// Buttons, cards and panels filled with a darker colour than the page defeat the
// recogniser's one threshold for the whole picture: light text on them is read only turned
// over, and dark text on a mid-tone fill is lost in it. Each such solid area is made dark
// on white where it lies. Text strokes are thin, so opening the dark parts with a
// `solid`-pixel square leaves only filled areas; closing then fills the holes their light
// text made.
constexpr int writingContrast = 40; // grey levels between writing and its ground

void panelsDarkOnWhite(QImage& grey, int solid) {
    if (solid < 3 || grey.width() <= 4 * solid || grey.height() <= 2 * solid) return;
    cv::Mat page = pixelsOf(grey);
    cv::Mat dark;
    cv::threshold(page, dark, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    cv::Mat panels;
    cv::morphologyEx(dark, panels, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {solid, solid}));
    if (cv::countNonZero(panels) == 0) return;
    cv::morphologyEx(panels, panels, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_RECT, {2 * solid, 2 * solid}));
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(panels, labels, stats, centroids, 8, CV_32S);
    const double pictureArea = double(grey.width()) * grey.height();
    for (int i = 1; i < count; ++i) {
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        // Half the picture or more is a dark page, which was turned over whole if it was one.
        if (area >= pictureArea / 2) continue;
        const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                           stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
        // A panel is roomy and whole. Bits of dark ground between large light letters (a
        // tag or a tooltip barely taller than its text) are no panel: turning them over
        // alone would cut the letters apart, so such text is left to the recogniser.
        if (box.width < 3 * solid || box.height < 2 * solid || area < 0.6 * box.area()) continue;
        cv::Mat region = page(box);
        const cv::Mat inside = labels(box) == i;
        // The panel's own colour is its most common grey. A panel whose writing is lighter
        // than it is turned over; one with dark writing is only lightened.
        int histogram[256] = {};
        for (int y = 0; y < region.rows; ++y)
            for (int x = 0; x < region.cols; ++x)
                if (inside.at<uchar>(y, x)) ++histogram[region.at<uchar>(y, x)];
        const int ground =
            int(std::max_element(std::begin(histogram), std::end(histogram)) - std::begin(histogram));
        int lighter = 0, darker = 0;
        for (int g = 0; g < 256; ++g) {
            if (g > ground + writingContrast)
                lighter += histogram[g];
            else if (g < ground - writingContrast)
                darker += histogram[g];
        }
        // Its colour is then brought to white like the page's, so that the recogniser's one
        // threshold for the whole picture keeps the writing and drops the ground.
        cv::Mat readable;
        if (lighter > darker) {
            readable = 255 - region;
            if (ground < 255) readable.convertTo(readable, CV_8U, 255.0 / (255 - ground));
        } else if (ground > 0) {
            region.convertTo(readable, CV_8U, 255.0 / ground);
        } else {
            continue;
        }
        readable.copyTo(region, inside);
    }
}

// The picture as 8-bit grey, which is what the recogniser reads.
Pix* toPix(const QImage& grey) {
    Pix* pix = pixCreate(grey.width(), grey.height(), 8);
    if (!pix) return nullptr;
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* src = grey.constScanLine(y);
        l_uint32* line = data + y * wpl;
        for (int x = 0; x < grey.width(); ++x)
            SET_DATA_BYTE(line, x, src[x]);
    }
    return pix;
}

QList<Line> recognise(tesseract::TessBaseAPI& api, const QImage& grey, double scale) {
    QList<Line> lines;
    Pix* pix = toPix(grey);
    if (!pix) return lines;
    api.SetImage(pix);
    api.SetSourceResolution(70);
    const bool ok = api.Recognize(nullptr) == 0;
    pixDestroy(&pix);
    if (!ok) {
        api.Clear();
        return lines;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    QList<Word> words; // of the recogniser's current line
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_SYMBOL)) continue;
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                lines.append(splitLine(words));
                words.clear();
            }
            if (it->IsAtBeginningOf(tesseract::RIL_WORD) || words.isEmpty())
                words.append(Word{{}, {}, it->Confidence(tesseract::RIL_WORD)});
            Word& word = words.last();
            std::unique_ptr<char[]> symbol(it->GetUTF8Text(tesseract::RIL_SYMBOL));
            const QString text = QString::fromUtf8(symbol ? symbol.get() : "");
            int left = 0, top = 0, right = 0, bottom = 0;
            QRectF box;
            if (it->BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom))
                box = QRectF(left / scale, top / scale, (right - left) / scale, (bottom - top) / scale);
            word.text.append(text);
            for (qsizetype i = 0; i < text.size(); ++i)
                word.charBoxes.append(box);
        } while (it->Next(tesseract::RIL_SYMBOL));
    }
    lines.append(splitLine(words));
    api.Clear();
    return lines;
}

} // namespace

QList<Line> read(const QImage& picture, bool careful) {
    if (!careful) return readAtScale(picture, 1.0);
    return joined(readAtScale(picture, enlargement), readAtScale(picture, 1.0));
}

QList<Line> readAtScale(const QImage& picture, double scale) {
    if (picture.isNull() || scale <= 0) return {};
    tesseract::TessBaseAPI* api = recogniser();
    if (!api) return {};
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    // The recogniser knows dark text on a light ground best: a dark page is turned over
    // (and the filled panels of a light page are made dark on white below).
    qint64 sum = 0, count = 0;
    for (int y = 0; y < grey.height(); y += 4) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); x += 4, ++count)
            sum += row[x];
    }
    if (count && double(sum) / double(count) < darkPageMean) grey.invertPixels();
    if (scale != 1.0)
        grey = grey.scaled((QSizeF(grey.size()) * scale).toSize(), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    panelsDarkOnWhite(grey, int(std::lround(solidPanel * scale)));
    eraseHorizontalRules(grey, int(ruleLength * scale));
    api->SetPageSegMode(tesseract::PSM_AUTO);
    // Lines read with low confidence are tried again turned over (light text on a dark
    // panel). The picture at its own size skips that second try: it is the quick reading,
    // and the enlarged reading of the careful level still makes it.
    api->SetVariable("tessedit_do_invert", scale > 1.0 ? "1" : "0");
    return recognise(*api, grey, scale);
}

QList<Line> joined(const QList<Line>& enlarged, const QList<Line>& plain) {
    QList<Line> out = enlarged;
    out.append(plain);
    return out;
}

} // namespace ombrel::TextFinder

// OpenMP sections run on the calling thread.
//
// Tesseract's recurrent layers run their forward and backward passes as the two sections of
// a `parallel sections` construct, some hundred thousand times per page. With teams of one
// thread, libgomp still starts and ends a team for each and wakes the team's barrier with a
// futex call every time; in a virtual machine these system calls took a fifth of a reading.
// The program defines the five entry points that compiled `sections` constructs call, and
// the dynamic linker gives Tesseract these instead of libgomp's: every section runs once, in
// order, on the thread that reached the construct. That is a conforming way to run sections
// in a team of one thread, and all teams in this process are one thread (above). Parallel
// regions and loops stay with libgomp; only Tesseract uses sections among our libraries.
namespace {
// The constructs under way on this thread, innermost last; a construct nested inside a
// section keeps its own count.
struct SectionCounter {
    unsigned count = 0;
    unsigned next = 1;
};
constexpr int deepestSections = 64;
thread_local SectionCounter openSections[deepestSections];
thread_local int sectionDepth = 0;

void openConstruct(unsigned count) {
    if (sectionDepth == deepestSections) qFatal("OpenMP sections nested more than %d deep", deepestSections);
    openSections[sectionDepth++] = {count, 1};
}

unsigned nextSection() {
    if (sectionDepth == 0) return 0;
    SectionCounter& open = openSections[sectionDepth - 1];
    return open.next <= open.count ? open.next++ : 0;
}

void closeConstruct() {
    if (sectionDepth > 0) --sectionDepth;
}
} // namespace

extern "C" {

// Starts a `sections` construct of `count` sections; returns the first section's number,
// or 0 when there is none.
__attribute__((visibility("default"))) unsigned GOMP_sections_start(unsigned count) {
    openConstruct(count);
    return nextSection();
}

// The number of the next section to run, or 0 when all have run.
__attribute__((visibility("default"))) unsigned GOMP_sections_next() {
    return nextSection();
}

__attribute__((visibility("default"))) void GOMP_sections_end() {
    closeConstruct();
}

__attribute__((visibility("default"))) void GOMP_sections_end_nowait() {
    closeConstruct();
}

// A combined `parallel sections`: the compiled body asks for its sections with
// GOMP_sections_next and may or may not end the construct itself.
__attribute__((visibility("default"))) void GOMP_parallel_sections(void (*body)(void*), void* data,
                                                                   unsigned /*threads*/, unsigned count,
                                                                   unsigned /*flags*/) {
    const int depth = sectionDepth;
    openConstruct(count);
    body(data);
    sectionDepth = depth;
}
}
