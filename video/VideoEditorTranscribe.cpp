// Transcribe in the video editor: the speech of the video becomes its captions, in the
// language chosen under the globe button.

#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"
#include "ui/Toast.h"
#include "video/SpeechReader.h"
#include "video/VideoEditorWindow.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtConcurrent>

namespace ombrel {

bool VideoEditorWindow::dictationIsOff(const QString& domain, int code, const QString& description) {
    if (domain == QLatin1String("kAFAssistantErrorDomain") && code == 1700) return true;
    const QString lower = description.toLower();
    return lower.contains(QLatin1String("dictation")) || lower.contains(QLatin1String("siri"));
}

void VideoEditorWindow::transcribe() {
    if (m_transcribing) return;
    setStatus(QStringLiteral("Asking to use speech recognition…"));
    // The answer is handled in a later turn of the event loop, as a permission answer is.
    QTimer::singleShot(0, this, [this] {
        if (m_transcribing) return;
        if (!Platform::speech().requestAuthorization()) {
            askForSpeechRecognition();
            return;
        }
        m_transcribing = true;
        setStatus(QStringLiteral("Listening to your whole video…"));
        m_transcribeButton->setEnabled(false);
        m_languageAnchor->setEnabled(false);
        const QString file = m_file;
        QPointer<VideoEditorWindow> self(this);
        const auto onUpdate = [self](const QString& text) {
            QMetaObject::invokeMethod(
                qApp,
                [self, text] {
                    if (self && self->m_transcribing) self->setStatus(words(text));
                },
                Qt::QueuedConnection);
        };
        auto* watcher = new QFutureWatcher<SpeechReader::Result>(this);
        connect(watcher, &QFutureWatcher<SpeechReader::Result>::finished, this, [this, watcher] {
            const SpeechReader::Result result = watcher->result();
            watcher->deleteLater();
            m_transcribing = false;
            m_transcribeButton->setEnabled(true);
            m_languageAnchor->setEnabled(true);
            if (result.error && result.words.isEmpty()) {
                const SpeechReader::Error& e = *result.error;
                qCWarning(logVideo) << "transcription failed:" << e.domain << e.code << e.description;
                if (dictationIsOff(e.domain, e.code, e.description)) {
                    setStatus(QStringLiteral("Transcribe needs Dictation turned on."));
                    askToTurnOn(
                        QStringLiteral("Turn on Dictation"),
                        QStringLiteral("Transcribe uses your Mac's own speech recognition, and that needs "
                                       "Dictation. I'll open the setting for you."),
                        QStringLiteral(
                            "Turn on Dictation in Keyboard settings. Your Mac may take a minute to "
                            "get ready. Then press Transcribe."),
                        QStringLiteral(
                            "x-apple.systempreferences:com.apple.Keyboard-Settings.extension?Dictation"));
                } else if (!Platform::speech().isAuthorized()) {
                    askForSpeechRecognition();
                } else if (e.notAvailable) {
                    // No model for the language on this computer: another language may have one.
                    const QString why =
                        words(QStringLiteral("Speech recognition isn't available on this Mac right now."));
                    setStatus(why +
                              QStringLiteral(" Choose another language with the globe button, then press "
                                             "Transcribe."));
                    Toast::warn(why, this);
                } else {
                    setStatus(
                        words(QStringLiteral("Couldn't transcribe. Check your internet connection and try "
                                             "again. (")) +
                        e.description + QStringLiteral(")"));
                    Toast::warn(words(QStringLiteral(
                                    "Couldn't transcribe. Check your internet connection and try again.")),
                                this);
                }
                Q_EMIT transcribed();
                return;
            }
            const QList<VideoEdit::Caption> captions = VideoEdit::captionsFrom(result.words);
            if (captions.isEmpty()) {
                setStatus(QStringLiteral("No speech found in this video."));
            } else {
                endTyping();
                setEdit([&](VideoEdit& e) { e.captions = captions; });
                rebuildNotes();
                setStatus(QString::number(captions.size()) +
                          QStringLiteral(" captions added. Pause and click one to change it."));
            }
            Q_EMIT transcribed();
        });
        watcher->setFuture(
            QtConcurrent::run([file, onUpdate] { return SpeechReader::words(file, onUpdate); }));
    });
}

void VideoEditorWindow::askForSpeechRecognition() {
    setStatus(QStringLiteral("Transcribe needs Speech Recognition turned on."));
    askToTurnOn(
        QStringLiteral("Allow Speech Recognition"),
        QStringLiteral("Transcribe uses your Mac's own speech recognition, and it's turned off for this "
                       "app. I'll open the setting for you."),
        QStringLiteral("Turn on Ombrel Capture in that list, then press Transcribe."),
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_SpeechRecognition"));
}

void VideoEditorWindow::askToTurnOn(const QString& title, const QString& why, const QString& then,
                                    const QString& settings) {
    auto* box =
        new QMessageBox(QMessageBox::Information, words(title), words(title), QMessageBox::NoButton, this);
    box->setInformativeText(words(why));
    QPushButton* open = box->addButton(QStringLiteral("Open Settings"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this, box, open, title, then, settings] {
        if (box->clickedButton() != open) return;
        if (!Platform::workspace().open(QUrl(settings)))
            qCWarning(logVideo) << "the settings page" << settings << "could not be opened";
        // What to do there, with the way back: Transcribe again.
        auto* next =
            new QMessageBox(QMessageBox::Information, words(title), words(then), QMessageBox::NoButton, this);
        QPushButton* again = next->addButton(QStringLiteral("Transcribe"), QMessageBox::AcceptRole);
        next->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
        next->setWindowModality(Qt::WindowModal);
        connect(next, &QMessageBox::finished, this, [this, next, again] {
            if (next->clickedButton() == again) transcribe();
        });
        ask(next);
    });
    ask(box);
}

std::unique_ptr<QMenu> VideoEditorWindow::makeLanguageMenu() {
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("Transcribe Language"))->setEnabled(false);
    const std::optional<QString> current = SpeechReader::language();
    for (const SpeechReader::Language& language : SpeechReader::languages()) {
        const QString name = words(QString::fromUtf8(language.name));
        QAction* item = menu->addAction(name);
        item->setCheckable(true);
        item->setChecked(language.code == current);
        const std::optional<QString> code = language.code;
        connect(item, &QAction::triggered, this, [this, code, name] {
            SpeechReader::setLanguage(code);
            setStatus(QStringLiteral("Transcribe will listen for ") + name + QStringLiteral("."));
        });
    }
    return menu;
}

void VideoEditorWindow::showLanguageMenu() {
    const std::unique_ptr<QMenu> menu = makeLanguageMenu();
    menu->exec(m_languageAnchor->mapToGlobal(QPoint(0, m_languageAnchor->height() + 4)));
}

} // namespace ombrel
