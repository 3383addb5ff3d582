// Text recognition with Tesseract. A page is cut into horizontal bands at rows without ink,
// so that no line is split, and the bands are shared out between recognisers, one per
// processor core. Recognisers are made on first use and kept, since loading the English
// model takes longer than reading a small picture.
#include "TextFinder.h"

#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <leptonica/allheaders.h>
#include <memory>
#include <mutex>
#include <omp.h>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>
#include <thread>
#include <vector>

namespace ombrel::TextFinder {

namespace {

// Tesseract's OpenMP threads fight over the cores with everything else and make a reading
// several times slower: the recognisers themselves run side by side instead, each on one
// thread. Setting the maximum of active levels to 0 makes every OpenMP team in the process
// one thread, which the sections runtime below relies on. (The OMP_THREAD_LIMIT variable
// would do the same, but libgomp reads it once when it loads, before any of this runs.)
void limitToOneThread() {
    static std::once_flag once;
    std::call_once(once, [] { omp_set_max_active_levels(0); });
}

// The kept recognisers: at most one per core (`largestRecogniserCount` at most), each used by
// one reading thread at a time.
class Recognisers {
  public:
    // A recogniser for this thread's use, made if fewer than the most are made. `wait`: when all
    // are in use, waits for one; otherwise returns none. None also when the model cannot load.
    tesseract::TessBaseAPI* take(bool wait) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_failed) return nullptr;
            if (!m_idle.empty()) {
                tesseract::TessBaseAPI* api = m_idle.back();
                m_idle.pop_back();
                return api;
            }
            if (m_made < limit()) break;
            if (!wait) return nullptr;
            m_returned.wait(lock);
        }
        ++m_made;
        lock.unlock();
        tesseract::TessBaseAPI* api = make();
        lock.lock();
        if (!api) {
            --m_made;
            m_failed = true;
            m_returned.notify_all();
        }
        return api;
    }

    void give(tesseract::TessBaseAPI* api) {
        {
            std::lock_guard lock(m_mutex);
            m_idle.push_back(api);
        }
        m_returned.notify_one();
    }

    static int limit() {
        static const int cores = std::clamp(QThread::idealThreadCount(), 1, largestRecogniserCount);
        return cores;
    }

  private:
    static tesseract::TessBaseAPI* make() {
        limitToOneThread();
        auto made = std::make_unique<tesseract::TessBaseAPI>();
        // Language correction off: no word lists, so code, addresses and keys are read as they
        // appear rather than as the nearest English word.
        std::vector<std::string> names{"load_system_dawg", "load_freq_dawg"};
        std::vector<std::string> values{"0", "0"};
        if (made->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0)
            return nullptr;
        // The debug file is a setting of the whole library: set once, under its own lock.
        static std::mutex settings;
        std::lock_guard lock(settings);
        made->SetVariable("debug_file", "/dev/null");
        return made.release(); // kept for the life of the process
    }

    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<tesseract::TessBaseAPI*> m_idle;
    int m_made = 0;
    bool m_failed = false;
};

Recognisers& recognisers() {
    static Recognisers* kept = new Recognisers; // never destroyed: threads may still read at exit
    return *kept;
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

// The lines of the recogniser's current image or rectangle. Boxes are divided by `scale` and
// moved by `offset`, into the picture's own pixels.
QList<Line> recognise(tesseract::TessBaseAPI& api, double scale, QPointF offset) {
    QList<Line> lines;
    if (api.Recognize(nullptr) != 0) return lines;
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
                box = QRectF(left / scale + offset.x(), top / scale + offset.y(), (right - left) / scale,
                             (bottom - top) / scale);
            word.text.append(text);
            for (qsizetype i = 0; i < text.size(); ++i)
                word.charBoxes.append(box);
        } while (it->Next(tesseract::RIL_SYMBOL));
    }
    lines.append(splitLine(words));
    return lines;
}

// The grey level from which a pixel is ground rather than writing: halfway between Otsu's
// threshold of the picture and white, so that faint writing is still writing.
int groundLevel(const QImage& grey) {
    const cv::Mat page(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    cv::Mat ignored;
    const double otsu = cv::threshold(page, ignored, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    return int(std::lround((otsu + 255) / 2));
}

// Every light ground (the page, a lighter side bar or title bar) is made white; the pixels
// around the writing keep their grey, so that letters keep their anti-aliased edges. Each
// band is thresholded on its own, and a band that is mostly a light panel beside a white
// page would otherwise be thresholded between the two greys rather than between writing and
// ground.
void groundToWhite(QImage& grey, int level) {
    if (grey.isNull()) return;
    cv::Mat page = pixelsOf(grey);
    cv::Mat nearInk;
    cv::threshold(page, nearInk, level - 1, 255, cv::THRESH_BINARY_INV);
    cv::dilate(nearInk, nearInk, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}));
    page.setTo(255, nearInk == 0);
}

// The picture as the recogniser reads it best, at its own size: grey, dark text on a light
// ground (a dark page is turned over), filled panels made dark on white and drawn lines
// painted over.
struct Prepared {
    QImage grey;
    int groundLevel = 255; // lighter is ground, darker is ink
};

Prepared prepared(const QImage& picture) {
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    qint64 sum = 0, count = 0;
    for (int y = 0; y < grey.height(); y += 4) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); x += 4, ++count)
            sum += row[x];
    }
    if (count && double(sum) / double(count) < darkPageMean) grey.invertPixels();
    panelsDarkOnWhite(grey, solidPanel);
    eraseHorizontalRules(grey, ruleLength);
    const int level = groundLevel(grey);
    groundToWhite(grey, level);
    return {grey, level};
}

// Rows holding ink, between rows without any.
struct Strip {
    int top = 0, bottom = 0; // rows, bottom excluded
    double ink = 0;          // pixels of ink: a measure of the work of reading it
    double letters = 0;      // the median height of its letters, pixels
};

// The strips of the prepared picture. Ink is what is darker than the ground level, so that
// even faint writing keeps a strip whole. Strips closer than
// `stripGap` rows, and strips lower than `thinnestStrip` (an underscore, the dots of a line of
// i's), join their neighbour, so that no part of a line is read apart from it.
std::vector<Strip> stripsOf(const QImage& grey, int groundLevel) {
    std::vector<Strip> strips;
    if (grey.isNull()) return strips;
    const cv::Mat page(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    cv::Mat ink;
    cv::threshold(page, ink, groundLevel - 1, 255, cv::THRESH_BINARY_INV);
    // Upright lines (a window's frame, a side bar's edge, a table's column rules) run past
    // the gaps between lines: they do not count. No letter has a stroke that long.
    cv::Mat upright;
    cv::morphologyEx(ink, upright, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, {1, 2 * ruleLength}));
    // Only thin ones: a filled area as tall (a small picture that is all one tone, such as a
    // cut-out of a button) is ground with writing on it, not a line.
    cv::Mat filled;
    cv::morphologyEx(upright, filled, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {5, 1}));
    upright.setTo(0, filled);
    ink.setTo(0, upright);
    cv::Mat rows;
    cv::reduce(ink / 255, rows, 1, cv::REDUCE_SUM, CV_32S);
    for (int y = 0; y < rows.rows;) {
        if (rows.at<int>(y) == 0) {
            ++y;
            continue;
        }
        Strip strip{y, y, 0, 0};
        while (y < rows.rows && rows.at<int>(y) > 0)
            strip.ink += rows.at<int>(y++);
        strip.bottom = y;
        if (!strips.empty() &&
            (strip.top - strips.back().bottom < stripGap || strip.bottom - strip.top < thinnestStrip ||
             strips.back().bottom - strips.back().top < thinnestStrip)) {
            strips.back().bottom = strip.bottom;
            strips.back().ink += strip.ink;
        } else {
            strips.push_back(strip);
        }
    }
    // Letters: the connected parts of the ink no wider than three times their height (not
    // drawn lines) and at least three pixels high (not dots and commas).
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<std::vector<int>> heights(strips.size());
    for (int i = 1; i < count; ++i) {
        const int top = stats.at<int>(i, cv::CC_STAT_TOP), height = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (height < 3 || stats.at<int>(i, cv::CC_STAT_WIDTH) > 3 * height) continue;
        const auto in = std::upper_bound(strips.begin(), strips.end(), top,
                                         [](int y, const Strip& s) { return y < s.bottom; });
        if (in != strips.end()) heights[size_t(in - strips.begin())].push_back(height);
    }
    for (size_t i = 0; i < strips.size(); ++i) {
        std::vector<int>& h = heights[i];
        if (h.empty()) continue;
        std::nth_element(h.begin(), h.begin() + long(h.size() / 2), h.end());
        strips[i].letters = h[h.size() / 2];
    }
    return strips;
}

// A horizontal band of the picture, read at once by one recogniser at `scale`.
struct Band {
    int top = 0, bottom = 0; // rows of the picture, bottom excluded
    double scale = 1;
};

// The scale a strip is read at: the careful reading enlarges small letters, which the
// recogniser misses or misreads at their own size.
double scaleOf(const Strip& strip, bool careful) {
    return careful && strip.letters > 0 && strip.letters < smallLetters ? enlargement : 1.0;
}

// The bands that cover the picture, cut between strips: runs of strips read at one scale,
// cut into about `bandsPerRecogniser` bands of equal work per recogniser, so that a recogniser
// done early takes another band. Each cut lies halfway between two strips.
std::vector<Band> bandsOf(const std::vector<Strip>& strips, int height, bool careful) {
    std::vector<Band> bands;
    double total = 0;
    for (const Strip& s : strips)
        total += s.ink * scaleOf(s, careful);
    const double share = total / (Recognisers::limit() * bandsPerRecogniser);
    double work = 0;
    for (size_t i = 0; i < strips.size(); ++i) {
        const double scale = scaleOf(strips[i], careful);
        if (bands.empty() || bands.back().scale != scale || work >= share) {
            const int cut = i == 0 ? 0 : (strips[i - 1].bottom + strips[i].top) / 2;
            if (!bands.empty()) bands.back().bottom = cut;
            bands.push_back({cut, height, scale});
            work = 0;
        }
        work += strips[i].ink * scale;
    }
    return bands;
}

// Reads the bands that `next` hands out with one recogniser, each band's lines into `out`.
// Each band is given to the recogniser as a picture of its own: Tesseract's rectangle of a
// larger picture hands the line recogniser the wrong rows unless it reaches the bottom.
void readBandsWith(tesseract::TessBaseAPI& api, const QImage& grey, const std::vector<Band>& bands,
                   std::atomic<size_t>& next, std::vector<QList<Line>>& out) {
    for (size_t i; (i = next++) < bands.size();) {
        const Band& band = bands[i];
        QImage part = grey.copy(0, band.top, grey.width(), band.bottom - band.top);
        if (band.scale != 1.0)
            part = part.scaled((QSizeF(part.size()) * band.scale).toSize(), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
        Pix* pix = toPix(part);
        if (!pix) continue;
        api.SetPageSegMode(tesseract::PSM_AUTO);
        // Lines read with low confidence are tried again turned over (light text on a dark
        // panel) in enlarged bands only: the picture at its own size is the quick reading.
        api.SetVariable("tessedit_do_invert", band.scale > 1.0 ? "1" : "0");
        api.SetImage(pix);
        api.SetSourceResolution(70);
        out[i] = recognise(api, band.scale, QPointF(0, band.top));
        api.Clear();
        pixDestroy(&pix);
    }
}

// The lines of each band, read by up to one recogniser per core.
std::vector<QList<Line>> readBands(const QImage& grey, const std::vector<Band>& bands) {
    std::vector<QList<Line>> out(bands.size());
    if (bands.empty()) return out;
    Recognisers& kept = recognisers();
    tesseract::TessBaseAPI* mine = kept.take(true);
    if (!mine) return out;
    std::atomic<size_t> next{0};
    // Helpers only use recognisers free now: another reading holding the rest goes on, and
    // this one still ends with its own.
    std::vector<std::thread> helpers;
    const int wanted = std::min(Recognisers::limit(), int(bands.size())) - 1;
    for (int i = 0; i < wanted; ++i)
        helpers.emplace_back([&] {
            if (tesseract::TessBaseAPI* api = kept.take(false)) {
                readBandsWith(*api, grey, bands, next, out);
                kept.give(api);
            }
        });
    readBandsWith(*mine, grey, bands, next, out);
    kept.give(mine);
    for (std::thread& helper : helpers)
        helper.join();
    return out;
}

QList<Line> joined(const std::vector<QList<Line>>& parts) {
    QList<Line> lines;
    for (const QList<Line>& part : parts)
        lines.append(part);
    return lines;
}

// The middle row of a line's placed characters, or none.
std::optional<double> middleOf(const Line& line) {
    const std::optional<QRectF> box = line.box({0, line.text.size()});
    return box ? std::optional<double>(box->center().y()) : std::nullopt;
}

} // namespace

QList<Line> read(const QImage& picture, bool careful) {
    if (picture.isNull()) return {};
    const Prepared page = prepared(picture);
    return joined(
        readBands(page.grey, bandsOf(stripsOf(page.grey, page.groundLevel), page.grey.height(), careful)));
}

QList<Line> readCarefully(const QImage& picture, const QList<Line>& quick) {
    if (picture.isNull()) return {};
    const Prepared page = prepared(picture);
    const QImage& grey = page.grey;
    const std::vector<Band> bands = bandsOf(stripsOf(grey, page.groundLevel), grey.height(), true);
    std::vector<Band> enlarged;
    for (const Band& band : bands)
        if (band.scale != 1.0) enlarged.push_back(band);
    const std::vector<QList<Line>> read = readBands(grey, enlarged);
    // Bands at the picture's own size were read so by the quick reading: its lines there are
    // taken as they are. Lines come band by band from the top.
    QList<Line> lines;
    size_t nextEnlarged = 0;
    for (const Band& band : bands) {
        if (band.scale != 1.0) {
            lines.append(read[nextEnlarged++]);
            continue;
        }
        for (const Line& line : quick)
            if (const auto y = middleOf(line); y && *y >= band.top && *y < band.bottom) lines.append(line);
    }
    return lines;
}

QList<Line> readWhole(const QImage& picture) {
    if (picture.isNull()) return {};
    const QImage grey = prepared(picture).grey;
    tesseract::TessBaseAPI* api = recognisers().take(true);
    if (!api) return {};
    std::vector<QList<Line>> out(1);
    std::atomic<size_t> next{0};
    readBandsWith(*api, grey, {Band{0, grey.height(), 1.0}}, next, out);
    recognisers().give(api);
    return out.front();
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
