#include "FakePlatform.h"

#include "platform/SoundFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QUuid>
#include <chrono>
#include <cmath>
#include <vector>

namespace ombrel {

Outcome<QImage> FakeScreens::grabDisplay(quint32 id, QSize outputSize) {
    ++grabs;
    if (!failNext.isEmpty()) {
        const QString message = std::exchange(failNext, QString());
        return Outcome<QImage>::fail(Failure::Temporary, message);
    }
    for (const DisplayInfo& d : displayList) {
        if (d.id != id) continue;
        QImage source = content.value(id);
        if (source.isNull()) {
            source = QImage(d.globalRectPx.size(), QImage::Format_RGB32);
            source.fill(Qt::gray);
        }
        return Outcome<QImage>::ok(
            source.scaled(outputSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("There is no such display."));
}

Outcome<QImage> FakeScreens::grabWindow(WindowId window, QSize outputSize) {
    ++grabs;
    if (!windowContent.contains(window))
        return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("The window has closed."));
    return Outcome<QImage>::ok(
        windowContent.value(window).scaled(outputSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QSize FakeScreens::windowSize(WindowId window) {
    return windowContent.value(window).size();
}

bool FakeWindows::activate(qint64 pid) {
    activations.append(pid);
    if (ignoreActivation) return true;
    for (const WindowInfo& w : windowList) {
        if (w.pid == pid) {
            front = AppInfo{pid, w.bundleId, w.title, w.kind == WindowKind::Normal};
            Q_EMIT frontApplicationChanged(*front);
            return true;
        }
    }
    return false;
}

void FakeWindows::bringToFront(const AppInfo& app) {
    front = app;
    Q_EMIT frontApplicationChanged(app);
}

void FakePasteboard::putPng(const QByteArray& png) {
    ++changes;
    pngData = png;
    fileList.clear();
    imageData = QImage::fromData(png, "PNG");
}

bool FakePasteboard::putFiles(const QList<QUrl>& files) {
    ++changes;
    pngData.clear();
    imageData = QImage();
    fileList = files;
    return !files.isEmpty();
}

QImage FakePasteboard::image() {
    if (!imageData.isNull()) return imageData;
    if (fileList.size() == 1) return QImage(fileList.first().toLocalFile());
    return {};
}

std::optional<QString> FakeTrash::moveToTrash(const QString& path) {
    if (!QFileInfo::exists(path) || !QDir().mkpath(trashFolder)) return std::nullopt;
    const QString target = QDir(trashFolder)
                               .filePath(QUuid::createUuid().toString(QUuid::Id128) + QLatin1Char('-') +
                                         QFileInfo(path).fileName());
    if (!QFile::rename(path, target)) return std::nullopt;
    return target;
}

bool FakeTrash::putBack(const QString& trashedPath, const QString& originalPath) {
    if (!QFileInfo::exists(trashedPath) || QFileInfo::exists(originalPath)) return false;
    QDir().mkpath(QFileInfo(originalPath).absolutePath());
    return QFile::rename(trashedPath, originalPath);
}

QString FakeLoginItem::enable() {
    if (!failWith.isEmpty()) return failWith;
    ++registrations;
    enabled = true;
    return {};
}

QString FakeLoginItem::disable() {
    if (!failWith.isEmpty()) return failWith;
    enabled = false;
    return {};
}

FocusReading FakeAccessibility::focusedElement(qint64 pid, int) {
    ++readings;
    if (answerDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answerDelayMs));
    if (holdAnswers) {
        ++waiting;
        for (int i = 0; i < 2000 && holdAnswers; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --waiting;
    }
    if (!nextReadings.isEmpty()) return nextReadings.takeFirst();
    return focus.value(pid, FocusReading{FocusReading::Result::Failed, {}});
}

FakePlatformHandles& fakes() {
    static FakePlatformHandles handles;
    return handles;
}

Outcome<bool> FakeFrameSource::grab(const std::function<void(const QImage&)>& use) {
    ++*m_grabs;
    QImage picture(m_size, QImage::Format_RGB32);
    picture.fill(QColor(240, 240, 236));
    QPainter p(&picture);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    const int line = std::max(2, m_size.height() / 40);
    for (int y = m_size.height() / 8; y < m_size.height() * 7 / 8; y += line * 3)
        p.drawRect(m_size.width() / 10, y, m_size.width() * ((y / line) % 3 + 4) / 10, line);
    p.setBrush(QColor(200, 60, 60));
    const int block = m_size.height() / 6;
    p.drawRect((m_index * 4) % std::max(1, m_size.width() - block), m_size.height() - block, block, block);
    p.end();
    ++m_index;
    use(picture);
    return Outcome<bool>::ok(true);
}

Outcome<bool> FakeAudioSource::start(std::function<void(const AudioChunk&)> onChunk) {
    stop();
    if (!m_failStart.isEmpty()) return Outcome<bool>::fail(Failure::Permanent, m_failStart);
    m_stopping = false;
    m_thread = std::thread([this, onChunk = std::move(onChunk)] {
        constexpr int rate = 48000;
        constexpr int frames = 960;
        std::vector<float> samples(frames);
        long long written = 0;
        auto next = std::chrono::steady_clock::now();
        while (!m_stopping) {
            for (int i = 0; i < frames; ++i)
                samples[size_t(i)] =
                    float(m_amplitude * std::sin(2 * M_PI * 440.0 * double(written + i) / rate));
            written += frames;
            onChunk(AudioChunk{AudioChunk::SampleFormat::Float32, 1, rate, samples.data(), frames});
            next += std::chrono::milliseconds(20);
            std::this_thread::sleep_until(next);
        }
    });
    return Outcome<bool>::ok(true);
}

void FakeAudioSource::stop() {
    if (m_stopping.exchange(true)) return;
    if (m_stopDelayMs > 0 && m_thread.joinable())
        std::this_thread::sleep_for(std::chrono::milliseconds(m_stopDelayMs));
    if (m_thread.joinable()) m_thread.join();
}

Outcome<std::unique_ptr<FrameSource>> FakeRecording::display(quint32) {
    using Result = Outcome<std::unique_ptr<FrameSource>>;
    if (!failOpen.isEmpty()) return Result::fail(Failure::Permanent, failOpen);
    return Result::ok(std::make_unique<FakeFrameSource>(frameSize, &grabs));
}

Outcome<std::unique_ptr<FrameSource>> FakeRecording::window(WindowId) {
    return display(0);
}

bool FakeAccessibility::requestTrust() {
    ++trustRequests;
    if (trustGranted && trustTurnsAccessOn && fakes().access) fakes().access->accessibility = true;
    return trustGranted;
}

std::optional<WordRange> FakeSpelling::nextMisspelled(const QString& text, qsizetype from,
                                                      const QString& lang) {
    languagesAsked.append(lang);
    static const QRegularExpression word(QStringLiteral("\\p{L}+"));
    for (auto it = word.globalMatch(text, from); it.hasNext();) {
        const auto m = it.next();
        if (misspelled.contains(m.captured())) return WordRange{m.capturedStart(), m.capturedLength()};
    }
    return std::nullopt;
}

Outcome<QString> FakeLanguageModel::respond(const QString&, const QString& prompt, double) {
    ++requests;
    if (!failWith.isEmpty()) return Outcome<QString>::fail(Failure::Permanent, failWith);
    return Outcome<QString>::ok(answerFor ? answerFor(prompt) : answer);
}

bool FakeRecording::requestMicrophoneAccess() {
    ++accessRequests;
    access = answerWhenAsked ? MicrophoneAccess::Authorized : MicrophoneAccess::Denied;
    return answerWhenAsked;
}

std::unique_ptr<AudioSource> FakeRecording::microphone() {
    return std::make_unique<FakeAudioSource>(toneAmplitude, microphoneFails, microphoneStopDelayMs);
}

std::unique_ptr<InputMonitor> FakeRecording::inputMonitor() {
    auto m = std::make_unique<FakeInputMonitor>(&pointerAt);
    monitor = m.get();
    return m;
}

QList<AccessibleNodePtr> FakeNode::children() {
    ask();
    return {kids.begin(), kids.end()};
}

std::optional<QList<AccessibleNodePtr>> FakeNode::descendants(const QStringList& roles, int max) {
    ask();
    if (!searches) return std::nullopt;
    QList<AccessibleNodePtr> found;
    std::function<void(FakeNode&)> visit = [&](FakeNode& node) {
        for (const std::shared_ptr<FakeNode>& kid : node.kids) {
            if (found.size() >= max) return;
            if (roles.contains(kid->roleName)) found.append(kid);
            visit(*kid);
        }
    };
    visit(*this);
    return found;
}

std::shared_ptr<FakeNode> FakeNode::add(const QString& role, std::optional<QRectF> frameGlobal,
                                        const QString& name) {
    auto child = std::make_shared<FakeNode>();
    child->roleName = role;
    child->frame = frameGlobal;
    if (!name.isEmpty()) child->texts.insert(NodeText::Name, name);
    child->questions = questions;
    kids.append(child);
    return child;
}

Outcome<QList<VisionBox>> FakeVision::rectangles(const QImage&, const RectangleRequest& request) {
    rectangleRequests.append(request);
    if (failRectangles)
        return Outcome<QList<VisionBox>>::fail(Failure::Permanent, QStringLiteral("The request failed."));
    return Outcome<QList<VisionBox>>::ok(rectangleBoxes);
}

Outcome<QList<VisionBox>> FakeVision::salientObjects(const QImage&) {
    ++objectRequests;
    if (failObjects)
        return Outcome<QList<VisionBox>>::fail(Failure::Permanent, QStringLiteral("The request failed."));
    return Outcome<QList<VisionBox>>::ok(objectBoxes);
}

Outcome<bool> FakeHotKeys::registerKey(QKeyCombination combination) {
    unregisterKey();
    if (heldElsewhere.contains(combination))
        return Outcome<bool>::fail(Failure::Permanent,
                                   QStringLiteral("Another program already uses that key combination."));
    key = combination;
    registrations.append(key);
    return Outcome<bool>::ok(true);
}

void FakeHotKeys::unregisterKey() {
    if (!key) return;
    key.reset();
    registrations.append(std::nullopt);
}

bool FakeHotKeys::press() {
    if (!key) return false;
    Q_EMIT pressed();
    return true;
}

bool FakeSpeech::requestAuthorization() {
    ++authorizationRequests;
    authorized = authorized || grantWhenAsked;
    return authorized;
}

Recognition FakeSpeech::recognizeFile(const QString& soundFile, const QString& language) {
    {
        std::lock_guard lock(m_mutex);
        languagesAsked.append(language);
    }
    const Outcome<SoundFile::Mono> sound = SoundFile::read(soundFile);
    {
        std::lock_guard lock(m_mutex);
        filesHeard.append({soundFile, sound ? sound.value().seconds() : -1.0});
    }
    if (unavailable.contains(language))
        return Recognition::failed(
            Recognition::Status::NotAvailable,
            QStringLiteral("Speech recognition isn't available on this Mac right now."));
    if (!sound) return Recognition::failed(Recognition::Status::Failed, sound.message());
    if (failFor && failFor(sound.value()))
        return Recognition::failed(Recognition::Status::Failed, QStringLiteral("The recogniser broke down."));
    const SoundFile::Mono& s = sound.value();
    const int gap = s.rate / 20;
    QList<SpeechWord> words;
    qsizetype start = -1, last = -1;
    for (qsizetype i = 0; i <= qsizetype(s.samples.size()); ++i) {
        const bool loud = i < qsizetype(s.samples.size()) && std::abs(int(s.samples[size_t(i)])) > 1000;
        if (loud) {
            if (start < 0) start = i;
            last = i;
        } else if (start >= 0 && (i - last > gap || i == qsizetype(s.samples.size()))) {
            words.append({QStringLiteral("word"), double(start) / s.rate, double(last + 1 - start) / s.rate});
            start = -1;
        }
    }
    return Recognition::heard(std::move(words));
}

std::unique_ptr<SpeechTask> FakeSpeech::startTask(const QString& language, SpeechTask::Handler handler) {
    if (unavailable.contains(language)) return nullptr;
    ++tasksStarted;
    return std::make_unique<FakeSpeechTask>(std::move(handler), &tasks);
}

FakePlatformHandles installFakePlatform(const QString& trashFolder) {
    PlatformServices s;
    FakePlatformHandles h;
    // Each fake is made, its handle kept for the test, and its ownership handed to the
    // platform: one line a service.
    const auto make = [](auto& handle, auto& slot, auto fake) {
        handle = fake.get();
        slot = std::move(fake);
    };
    make(h.screens, s.screens, std::make_unique<FakeScreens>());
    make(h.windows, s.windows, std::make_unique<FakeWindows>());
    make(h.pasteboard, s.pasteboard, std::make_unique<FakePasteboard>());
    make(h.sounds, s.sounds, std::make_unique<FakeSounds>());
    make(h.trash, s.trash, std::make_unique<FakeTrash>(trashFolder));
    make(h.loginItem, s.loginItem, std::make_unique<FakeLoginItem>());
    make(h.workspace, s.workspace, std::make_unique<FakeWorkspace>());
    make(h.access, s.access, std::make_unique<FakeAccess>());
    make(h.accessibility, s.accessibility, std::make_unique<FakeAccessibility>());
    make(h.keys, s.keys, std::make_unique<FakeKeys>());
    make(h.recording, s.recording, std::make_unique<FakeRecording>());
    make(h.accessibleTree, s.accessibleTree, std::make_unique<FakeAccessibleTree>());
    make(h.vision, s.vision, std::make_unique<FakeVision>());
    make(h.sharing, s.sharing, std::make_unique<FakeSharing>());
    make(h.hotKeys, s.hotKeys, std::make_unique<FakeHotKeys>());
    make(h.spelling, s.spelling, std::make_unique<FakeSpelling>());
    make(h.languageModel, s.languageModel, std::make_unique<FakeLanguageModel>());
    make(h.speech, s.speech, std::make_unique<FakeSpeech>());
    Platform::install(std::move(s));
    fakes() = h;
    return h;
}

} // namespace ombrel
