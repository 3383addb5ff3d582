#include "video/VideoEditorWindow.h"

#include "library/CaptureStore.h"
#include "library/Clipboard.h"
#include "markup/MarkupText.h"
#include "platform/Log.h"
#include "sending/ChatSender.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"
#include "ui/TimeText.h"
#include "ui/Toast.h"
#include "video/VideoOverlayView.h"
#include "video/VideoPlayer.h"
#include "video/VideoRenderer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace ombrel {

// The player area: the picture, aspect-fit on black, with the overlay on top of it.
class VideoPictureView : public QWidget {
  public:
    VideoPictureView(VideoPlayer& player, QWidget* parent) : QWidget(parent), m_player(player) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QRectF videoRect;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        const QImage& picture = m_player.picture();
        if (!picture.isNull() && !videoRect.isEmpty()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(videoRect, picture);
        }
    }

  private:
    VideoPlayer& m_player;
};

namespace {

QList<VideoEditorWindow*>& editors() {
    static QList<VideoEditorWindow*> list;
    return list;
}

const QColor iconColour(235, 238, 245);

QString cssColour(const QColor& c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

// Styles an in-place field like the text it edits.
void styleField(QLineEdit* field, const QFont& font, const QColor& text, const QColor& background) {
    field->setFont(onTextDevice(font));
    field->setStyleSheet(
        QStringLiteral("QLineEdit { color: %1; background: %2; border: 1px solid rgba(255, 255, "
                       "255, 0.5); border-radius: 4px; padding: 0 4px; }")
            .arg(cssColour(text), cssColour(background)));
}

} // namespace

QToolButton* VideoEditorWindow::makeButton(const QString& title, const QString& symbol, const QString& tip,
                                           bool checkable, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(title);
    b->setIcon(Symbols::icon(symbol, iconColour));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(title.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    b->setToolTip(tip);
    b->setAccessibleName(title.isEmpty() ? tip : title);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    b->setObjectName(title);
    return b;
}

// ——— Opening and closing ———

VideoEditorWindow* VideoEditorWindow::open(const QString& file) {
    const QString path = QFileInfo(file).absoluteFilePath();
    VideoEditorWindow* editor = nullptr;
    for (VideoEditorWindow* e : editors())
        if (e->file() == path) editor = e;
    if (!editor) {
        editor = new VideoEditorWindow(path);
        editors().append(editor);
    }
    editor->show();
    editor->raise();
    editor->activateWindow();
    return editor;
}

const QList<VideoEditorWindow*>& VideoEditorWindow::openEditors() {
    return editors();
}

VideoEditorWindow::VideoEditorWindow(const QString& file, QWidget* parent)
    : QWidget(parent, Qt::Window), m_player(std::make_unique<VideoPlayer>()) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumSize(680, 500);
    resize(980, 720);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(28, 30, 36));
    dark.setColor(QPalette::WindowText, QColor(235, 238, 245));
    dark.setColor(QPalette::Base, QColor(40, 43, 52));
    dark.setColor(QPalette::Text, QColor(235, 238, 245));
    dark.setColor(QPalette::Button, QColor(48, 52, 62));
    dark.setColor(QPalette::ButtonText, QColor(235, 238, 245));
    dark.setColor(QPalette::PlaceholderText, QColor(150, 155, 168));
    dark.setColor(QPalette::ToolTipBase, QColor(48, 52, 62));
    dark.setColor(QPalette::ToolTipText, QColor(235, 238, 245));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 125, 138));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 125, 138));
    setPalette(dark);
    setAutoFillBackground(true);
    buildContent();
    load(file);
    qApp->installEventFilter(this); // the window's own keys: Space and Ctrl+Return
    if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos())
                                    ? QGuiApplication::screenAt(QCursor::pos())
                                    : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

VideoEditorWindow::~VideoEditorWindow() {
    qApp->removeEventFilter(this);
    editors().removeAll(this);
}

void VideoEditorWindow::closeEvent(QCloseEvent* event) {
    if (m_closeConfirmed || m_edit == m_saved || !m_edit.hasChanges()) {
        m_closeConfirmed = false;
        event->accept();
        windowWillClose();
        return;
    }
    event->ignore();
    auto* box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("Save your changes as a new version?"),
                        QStringLiteral("Save your changes as a new version?"), QMessageBox::NoButton, this);
    box->setInformativeText(QStringLiteral("Your original video stays as it is either way."));
    QPushButton* save = box->addButton(QStringLiteral("Save Version"), QMessageBox::AcceptRole);
    QPushButton* discard = box->addButton(QStringLiteral("Don't Save"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(save);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [this, box, save, discard] {
        if (box->clickedButton() == save) {
            saveVersion(); // the window stays, and shows the new version when it is written
        } else if (box->clickedButton() == discard) {
            m_closeConfirmed = true;
            close();
        }
    });
    ask(box);
}

void VideoEditorWindow::windowWillClose() {
    m_player->pause();
    if (m_question) m_question->close();
    qApp->removeEventFilter(this);
    editors().removeAll(this);
    deleteLater();
}

void VideoEditorWindow::ask(QMessageBox* box) {
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_question = box;
    box->open();
}

// ——— Building ———

QWidget* VideoEditorWindow::playerHolder() const {
    return m_playerHolder;
}

QToolButton* VideoEditorWindow::button(const QString& title) const {
    return findChild<QToolButton*>(title);
}

void VideoEditorWindow::buildContent() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    m_playerHolder = new VideoPictureView(*m_player, this);
    m_playerHolder->setMinimumHeight(200);
    m_overlay = new VideoOverlayView(m_playerHolder);
    column->addWidget(m_playerHolder, 1);

    auto* playRow = new QHBoxLayout;
    m_playButton =
        makeButton(QString(), QStringLiteral("play.fill"), QStringLiteral("Play or pause"), false, this);
    m_playButton->setObjectName(QStringLiteral("Play or pause"));
    m_scrubber = new QSlider(Qt::Horizontal, this);
    m_scrubber->setToolTip(QStringLiteral("Drag to any moment in the video"));
    m_scrubber->setFocusPolicy(Qt::NoFocus);
    m_scrubber->setRange(0, 0);
    m_timeLabel = new QLabel(QStringLiteral("00:00 / 00:00"), this);
    playRow->addWidget(m_playButton);
    playRow->addWidget(m_scrubber, 1);
    playRow->addWidget(m_timeLabel);
    column->addLayout(playRow);

    auto* tools = new QHBoxLayout;
    m_cropButton = makeButton(QStringLiteral("Crop"), QStringLiteral("crop"),
                              QStringLiteral("Drag on the video around the part to keep"), true, this);
    m_muteButton = makeButton(QStringLiteral("Mute"), QStringLiteral("speaker.slash"),
                              QStringLiteral("Remove the sound from the saved version"), true, this);
    m_addTextButton =
        makeButton(QStringLiteral("Add Text"), QStringLiteral("text.bubble"),
                   QStringLiteral("Pause on a frame, then click where the text should go"), true, this);
    m_transcribeButton =
        makeButton(QStringLiteral("Transcribe"), QStringLiteral("waveform"),
                   words(QStringLiteral(
                       "Turn everything you said into captions, using your Mac's own speech recognition")),
                   false, this);
    m_languageAnchor = makeButton(QString(), QStringLiteral("globe"),
                                  QStringLiteral("Choose the language Transcribe listens for"), false, this);
    m_languageAnchor->setObjectName(QStringLiteral("Transcribe Language"));
    m_captionButton = makeButton(
        QStringLiteral("Caption Design"), QStringLiteral("captions.bubble"),
        QStringLiteral("Choose how your captions look: design, position, font, size, colour and background"),
        false, this);
    m_organiseButton = makeButton(
        QStringLiteral("Organise Steps"), QStringLiteral("list.number"),
        QStringLiteral("Puts your text in time order, numbers the steps, and lines them up"), false, this);
    m_resetButton = makeButton(QStringLiteral("Reset"), QStringLiteral("arrow.uturn.backward"),
                               QStringLiteral("Clear the crop, mute, text and captions"), false, this);
    m_status = new QLabel(QStringLiteral("Play, then pause on a frame to add text."), this);
    m_status->setMinimumWidth(40);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setWordWrap(true); // a long status takes a second line rather than being cut
    for (QToolButton* b : {m_cropButton, m_muteButton, m_addTextButton, m_transcribeButton, m_languageAnchor,
                           m_captionButton, m_organiseButton, m_resetButton})
        tools->addWidget(b);
    tools->addWidget(m_status, 1);
    column->addLayout(tools);

    m_notesScroll = new QScrollArea(this);
    m_notesScroll->setWidgetResizable(true);
    m_notesScroll->setFrameShape(QFrame::NoFrame);
    auto* notesHost = new QWidget;
    m_notesStack = new QVBoxLayout(notesHost);
    m_notesStack->setContentsMargins(0, 0, 0, 0);
    m_notesStack->setSpacing(5);
    m_notesScroll->setWidget(notesHost);
    m_notesScroll->hide();
    column->addWidget(m_notesScroll);

    auto* output = new QHBoxLayout;
    m_saveButton = makeButton(
        QStringLiteral("Save Version"), QStringLiteral("square.and.arrow.down"),
        QStringLiteral("Save your changes as the next version. The original stays as it is."), false, this);
    m_shareButton = makeButton(
        QStringLiteral("Share"), QStringLiteral("square.and.arrow.up"),
        words(QStringLiteral("AirDrop, Mail, Messages, Bluetooth, or save to a drive")), false, this);
    m_shareButton->setEnabled(bool(onShare));
    m_copyButton = makeButton(
        QStringLiteral("Copy"), QStringLiteral("doc.on.doc"),
        QStringLiteral("Copy this video, with your changes, so you can paste it anywhere"), false, this);
    m_sendButton =
        makeButton(QStringLiteral("Send to Chat"), QStringLiteral("paperplane.fill"),
                   words(QStringLiteral("Click into your chat's message box first, then press this (or "
                                        "Command-Return). It pastes this video")) +
                       (ChatSender::pressesEnter() ? QStringLiteral(" and sends it.") : QStringLiteral(".")),
                   false, this);
    m_sendButton->setStyleSheet(QStringLiteral("QToolButton { background: rgb(10, 132, 255); color: white; "
                                               "border-radius: 6px; padding: 4px 12px; }"));
    output->addWidget(m_saveButton);
    output->addWidget(m_shareButton);
    output->addWidget(m_copyButton);
    output->addStretch(1);
    output->addWidget(m_sendButton);
    column->addLayout(output);

    m_typingField = new QLineEdit(m_playerHolder);
    m_typingField->setPlaceholderText(QStringLiteral("Type your text. Press Return when you're done."));
    m_typingField->hide();
    m_captionField = new QLineEdit(m_playerHolder);
    m_captionField->setPlaceholderText(QStringLiteral("Change the words. Press Return when you're done."));
    m_captionField->hide();
    for (QLineEdit* field : {m_typingField, m_captionField}) {
        connect(field, &QLineEdit::returnPressed, this, [this] {
            endTyping();
            if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        });
        field->installEventFilter(this); // Escape ends typing too
    }
    connect(m_typingField, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto i = m_overlay->typingNote()) setNote(*i, text);
        layOutTypingField();
    });
    connect(m_captionField, &QLineEdit::textEdited, this, &VideoEditorWindow::setCaptionText);

    connect(m_playButton, &QToolButton::clicked, this, &VideoEditorWindow::togglePlay);
    connect(m_scrubber, &QSlider::sliderMoved, this, [this](int ms) {
        m_player->pause();
        seek(ms / 1000.0);
    });
    connect(m_scrubber, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderMove) return;
        QTimer::singleShot(0, this, [this] {
            m_player->pause();
            seek(m_scrubber->value() / 1000.0);
        });
    });
    connect(m_cropButton, &QToolButton::clicked, this, &VideoEditorWindow::toggleCrop);
    connect(m_muteButton, &QToolButton::clicked, this, &VideoEditorWindow::toggleMute);
    connect(m_addTextButton, &QToolButton::clicked, this, &VideoEditorWindow::toggleAddText);
    connect(m_captionButton, &QToolButton::clicked, this, &VideoEditorWindow::showCaptionMenu);
    connect(m_transcribeButton, &QToolButton::clicked, this, &VideoEditorWindow::transcribe);
    connect(m_languageAnchor, &QToolButton::clicked, this, &VideoEditorWindow::showLanguageMenu);
    connect(m_organiseButton, &QToolButton::clicked, this, &VideoEditorWindow::organiseSteps);
    connect(m_resetButton, &QToolButton::clicked, this, &VideoEditorWindow::resetEdits);
    connect(m_saveButton, &QToolButton::clicked, this, &VideoEditorWindow::saveVersion);
    connect(m_shareButton, &QToolButton::clicked, this, &VideoEditorWindow::shareVideo);
    connect(m_copyButton, &QToolButton::clicked, this, &VideoEditorWindow::copyVideo);
    connect(m_sendButton, &QToolButton::clicked, this, &VideoEditorWindow::sendVideo);

    m_overlay->onCrop = [this](const QRectF& r) { applyCrop(r); };
    m_overlay->onPlaceText = [this](const QPointF& p) { placeText(p); };
    m_overlay->onMoveNote = [this](int i, const QPointF& p) { moveNote(i, p); };
    m_overlay->onEditCaption = [this](int i) { beginChangingCaption(i); };
    m_overlay->setEdit(m_edit);

    connect(m_player.get(), &VideoPlayer::playingChanged, this, [this](bool playing) {
        m_overlay->setPaused(!playing);
        refreshTime();
    });
    connect(m_player.get(), &VideoPlayer::pictureChanged, this, [this] {
        m_playerHolder->update();
        if (!m_firstPictureShown) {
            m_firstPictureShown = true;
            Q_EMIT firstPictureShown();
        }
    });
    connect(m_player.get(), &VideoPlayer::loaded, this, [this] {
        m_duration = m_player->duration();
        m_scrubber->setRange(0, int(std::lround(m_duration * 1000)));
        layOutPlayer();
        refreshTime();
    });
    connect(m_player.get(), &VideoPlayer::failed, this, [this](const QString& why) { setStatus(why); });
    m_timeObserver = new QTimer(this);
    m_timeObserver->setInterval(50); // 20 times a second
    connect(m_timeObserver, &QTimer::timeout, this, &VideoEditorWindow::refreshTime);

    setEdit([](VideoEdit&) {});
    rebuildNotes();
}

void VideoEditorWindow::load(const QString& file) {
    m_file = QFileInfo(file).absoluteFilePath();
    setWindowTitle(QFileInfo(m_file).completeBaseName());
    m_duration = 0;
    m_firstPictureShown = false;
    m_player->open(m_file);
    m_player->setMuted(m_edit.isMuted);
    m_timeObserver->start();
    refreshTime();
}

void VideoEditorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    layOutPlayer();
}

void VideoEditorWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOutPlayer();
}

void VideoEditorWindow::layOutPlayer() {
    if (!m_playerHolder) return;
    m_overlay->setGeometry(m_playerHolder->rect());
    const QRectF shown = fittedVideoRect(QRectF(m_playerHolder->rect()));
    m_playerHolder->videoRect = shown;
    m_overlay->setVideoRect(shown);
    m_player->setPictureSize((shown.size() * m_playerHolder->devicePixelRatioF()).toSize());
    m_playerHolder->update();
    if (m_overlay->typingNote()) layOutTypingField();
    if (m_overlay->editingCaption()) layOutCaptionField();
}

QRectF VideoEditorWindow::fittedVideoRect(const QRectF& bounds) const {
    const QSize size = m_player->presentationSize();
    if (size.width() <= 0 || size.height() <= 0) return bounds;
    const double s = std::min(bounds.width() / size.width(), bounds.height() / size.height());
    const QSizeF fitted(size.width() * s, size.height() * s);
    return QRectF(bounds.left() + (bounds.width() - fitted.width()) / 2,
                  bounds.top() + (bounds.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

// ——— Player ———

void VideoEditorWindow::refreshTime() {
    const double t = m_player->position();
    if (!std::isfinite(t)) return;
    m_overlay->setCurrentTime(t);
    if (m_overlay->videoRect().isEmpty()) layOutPlayer();
    if (!m_scrubber->isSliderDown()) {
        const QSignalBlocker quiet(m_scrubber);
        m_scrubber->setValue(int(std::lround(t * 1000)));
    }
    m_timeLabel->setText(formatTime(t) + QStringLiteral(" / ") + formatTime(m_duration));
    const bool playing = m_player->isPlaying();
    if (m_playButton->property("playing") != playing) {
        m_playButton->setProperty("playing", playing);
        m_playButton->setIcon(
            Symbols::icon(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"), iconColour));
    }
}

void VideoEditorWindow::togglePlay() {
    if (!m_player->isPlaying()) {
        if (m_player->position() >= m_duration - 0.05) seek(0);
        m_player->play();
    } else {
        m_player->pause();
    }
    refreshTime();
}

void VideoEditorWindow::seek(double seconds) {
    m_player->seek(seconds);
    m_overlay->setCurrentTime(m_player->position());
    refreshTime();
}

void VideoEditorWindow::jumpToNote(int index) {
    if (index < 0 || index >= m_edit.notes.size()) return;
    m_player->pause();
    seek(m_edit.notes[index].time);
}

bool VideoEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if ((watched == m_typingField || watched == m_captionField) && key->key() == Qt::Key_Escape) {
        endTyping();
        static_cast<QWidget*>(watched)->clearFocus();
        return true;
    }
    // Only keys meant for this window, and none while a question is asked.
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != this || QApplication::activeModalWidget() || m_question)
        return QWidget::eventFilter(watched, event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        if (!key->isAutoRepeat()) sendVideo();
        return true;
    }
    const auto isTextEditor = [](const QWidget* w) {
        return w && (qobject_cast<const QLineEdit*>(w) || w->inherits("QTextEdit") ||
                     w->inherits("QPlainTextEdit") || w->inherits("QAbstractSpinBox"));
    };
    const bool typing = isTextEditor(QApplication::focusWidget()) || isTextEditor(target);
    if (!typing && modifiers == Qt::NoModifier && key->key() == Qt::Key_Space) {
        if (!key->isAutoRepeat()) togglePlay();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ——— Edit ———

void VideoEditorWindow::setStatus(const QString& text) {
    m_status->setText(text);
    m_status->setToolTip(text);
}

void VideoEditorWindow::setEdit(const std::function<void(VideoEdit&)>& change) {
    change(m_edit);
    if (m_beforeReset) {
        // Any new change ends the chance to bring back what a reset cleared.
        m_beforeReset.reset();
        m_resetButton->setText(QStringLiteral("Reset"));
    }
    m_overlay->setEdit(m_edit);
    m_player->setMuted(m_edit.isMuted);
    m_muteButton->setChecked(m_edit.isMuted);
    m_muteButton->setIcon(Symbols::icon(
        m_edit.isMuted ? QStringLiteral("speaker.slash.fill") : QStringLiteral("speaker.slash"), iconColour));
    m_saveButton->setEnabled(m_edit != m_saved && !m_saving);
    m_captionButton->setEnabled(!m_edit.captions.isEmpty());
}

void VideoEditorWindow::toggleCrop() {
    m_addTextButton->setChecked(false);
    const bool on = m_cropButton->isChecked();
    m_overlay->setMode(on ? VideoOverlayView::Mode::crop : VideoOverlayView::Mode::play);
    if (on) setStatus(QStringLiteral("Drag on the video around the part to keep."));
}

void VideoEditorWindow::applyCrop(const QRectF& unitRect) {
    setEdit([&](VideoEdit& e) { e.crop = unitRect; });
    m_overlay->setMode(VideoOverlayView::Mode::play);
    m_cropButton->setChecked(false);
    setStatus(QStringLiteral("Cropped. Save Version keeps it, and Reset clears it."));
}

void VideoEditorWindow::toggleMute() {
    setEdit([](VideoEdit& e) { e.isMuted = !e.isMuted; });
    setStatus(m_edit.isMuted ? QStringLiteral("Muted. Save Version removes the sound.")
                             : QStringLiteral("Sound is back on."));
}

void VideoEditorWindow::toggleAddText() {
    m_cropButton->setChecked(false);
    m_player->pause();
    const bool on = m_addTextButton->isChecked();
    m_overlay->setMode(on ? VideoOverlayView::Mode::addText : VideoOverlayView::Mode::play);
    if (on) setStatus(QStringLiteral("Click on the video where the text should go."));
}

void VideoEditorWindow::placeText(const QPointF& unitPoint) {
    VideoEdit::TextNote note;
    note.time = m_overlay->currentTime();
    note.x = unitPoint.x();
    note.y = unitPoint.y();
    note.style = VideoTextStyle::last;
    setEdit([&](VideoEdit& e) { e.notes.append(note); });
    m_overlay->setMode(VideoOverlayView::Mode::play);
    m_addTextButton->setChecked(false);
    rebuildNotes();
    beginTyping(int(m_edit.notes.size()) - 1);
    setStatus(QStringLiteral("Type on the video, then press Return. Drag it to move it."));
}

void VideoEditorWindow::moveNote(int index, const QPointF& unitPoint) {
    if (index < 0 || index >= m_edit.notes.size()) return;
    setEdit([&](VideoEdit& e) {
        e.notes[index].x = std::clamp(unitPoint.x(), 0.0, 1.0);
        e.notes[index].y = std::clamp(unitPoint.y(), 0.0, 1.0);
    });
    if (m_overlay->typingNote() == index) layOutTypingField();
}

void VideoEditorWindow::setNote(int index, const QString& text) {
    if (index < 0 || index >= m_edit.notes.size()) return;
    setEdit([&](VideoEdit& e) { e.notes[index].text = text; });
    if (index < m_noteFields.size() && !m_noteFields[index]->hasFocus()) m_noteFields[index]->setText(text);
}

void VideoEditorWindow::removeNote(int index) {
    if (index < 0 || index >= m_edit.notes.size()) return;
    if (m_overlay->typingNote()) endTyping();
    setEdit([&](VideoEdit& e) { e.notes.removeAt(index); });
    rebuildNotes();
}

void VideoEditorWindow::beginTyping(int index) {
    if (index < 0 || index >= m_edit.notes.size()) return;
    m_overlay->setTypingNote(index);
    m_typingField->setText(m_edit.notes[index].text);
    layOutTypingField();
    m_typingField->show();
    m_typingField->raise();
    m_typingField->setFocus();
}

void VideoEditorWindow::layOutTypingField() {
    const auto index = m_overlay->typingNote();
    if (!index || *index >= m_edit.notes.size()) return;
    const auto& note = m_edit.notes[*index];
    const QRectF video = m_overlay->videoRect();
    const double p = std::max(12.0, video.width() / 48);
    styleField(m_typingField, note.style.fontAt(p), note.style.textColor(),
               note.style.backgroundColor().value_or(QColor(0, 0, 0, qRound(0.35 * 255))));
    const QRectF frame = m_overlay->noteFrame(*index);
    const QPointF topLeft(video.left() + note.x * video.width(), video.top() + note.y * video.height());
    m_typingField->setGeometry(QRectF(topLeft, QSizeF(std::max(frame.width() + 30, 0.3 * video.width()),
                                                      std::max(frame.height(), 26.0)))
                                   .toRect());
}

void VideoEditorWindow::endTyping() {
    if (const auto caption = m_overlay->editingCaption()) {
        m_overlay->setEditingCaption(std::nullopt);
        m_captionField->hide();
        if (*caption < m_edit.captions.size() && m_edit.captions[*caption].text.trimmed().isEmpty())
            setEdit([&](VideoEdit& e) { e.captions.removeAt(*caption); });
    }
    m_overlay->setTypingNote(std::nullopt);
    m_typingField->hide();
    m_overlay->update();
    rebuildNotes();
}

void VideoEditorWindow::beginChangingCaption(int index) {
    if (index < 0 || index >= m_edit.captions.size()) return;
    endTyping();
    m_player->pause();
    m_overlay->setEditingCaption(index);
    m_captionField->setText(m_edit.captions[index].text);
    layOutCaptionField();
    m_captionField->show();
    m_captionField->raise();
    m_captionField->setFocus();
    setStatus(QStringLiteral("Change the words, then press Return."));
}

void VideoEditorWindow::setCaptionText(const QString& text) {
    const auto index = m_overlay->editingCaption();
    if (!index || *index >= m_edit.captions.size()) return;
    setEdit([&](VideoEdit& e) { e.captions[*index].text = text; });
    layOutCaptionField();
}

void VideoEditorWindow::layOutCaptionField() {
    const auto index = m_overlay->editingCaption();
    if (!index || *index >= m_edit.captions.size()) return;
    const CaptionPainter::Layout laid = m_overlay->captionLayout(*index);
    const TextAttributes& a = laid.words->attributes();
    styleField(m_captionField, a.font, a.color,
               m_edit.captionStyle.text.backgroundColor().value_or(QColor(0, 0, 0, qRound(0.55 * 255))));
    m_captionField->setAlignment(Qt::AlignCenter);
    m_captionField->setGeometry(laid.box.adjusted(-2, -2, 2, 2).toRect());
}

int VideoEditorWindow::notesListHeight(int count) {
    return count <= 0 ? 0 : std::min(count * 34 + (count - 1) * 5, 150);
}

void VideoEditorWindow::organiseSteps() {
    if (!m_beforeOrganising) {
        m_beforeOrganising = m_edit;
        const VideoEdit organised = m_edit.organised(m_duration);
        setEdit([&](VideoEdit& e) { e = organised; });
        setStatus(QStringLiteral("Organised into numbered steps. Press again to undo."));
    } else {
        const VideoEdit before = *std::exchange(m_beforeOrganising, std::nullopt);
        setEdit([&](VideoEdit& e) { e = before; });
        setStatus(QStringLiteral("Back as you had it."));
    }
    rebuildNotes();
}

void VideoEditorWindow::resetEdits() {
    endTyping();
    if (m_beforeReset) {
        const VideoEdit before = *std::exchange(m_beforeReset, std::nullopt);
        setEdit([&](VideoEdit& e) { e = before; });
        rebuildNotes();
        m_resetButton->setText(QStringLiteral("Reset"));
        setStatus(QStringLiteral("Your changes are back."));
        Toast::show(QStringLiteral("Changes brought back"), Toast::defaultSymbol, this);
        return;
    }
    if (!m_edit.hasChanges()) {
        setStatus(QStringLiteral("Nothing to reset. This is the original."));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Reset all your changes?"),
                                QStringLiteral("Reset all your changes?"), QMessageBox::NoButton, this);
    box->setInformativeText(QStringLiteral("This removes the crop, mute, text and captions."));
    QPushButton* reset = box->addButton(QStringLiteral("Reset"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this, box, reset] {
        if (box->clickedButton() != reset) return;
        m_beforeOrganising.reset();
        const VideoEdit old = m_edit;
        setEdit([](VideoEdit& e) { e = VideoEdit(); });
        rebuildNotes();
        m_beforeReset = old;
        m_resetButton->setText(QStringLiteral("Undo Reset"));
        setStatus(QStringLiteral("Back to the original. Press Undo Reset to bring your changes back."));
        Toast::show(QStringLiteral("Changes cleared"), Toast::defaultSymbol, this);
    });
    ask(box);
}

// ——— Output ———

void VideoEditorWindow::saveVersion() {
    endTyping();
    if (!m_edit.hasChanges()) {
        setStatus(QStringLiteral("Nothing to save yet."));
        return;
    }
    saveChanges();
}

void VideoEditorWindow::saveChanges(std::function<void(const QString&)> then) {
    if (m_saving) return;
    QString destination;
    try {
        destination = CaptureStore::nextVersionAfter(m_file);
    } catch (const StoreError& e) {
        setStatus(QStringLiteral("Couldn't save: ") + QString::fromStdString(e.what()));
        if (then) Toast::warn(QStringLiteral("Couldn't save your changes, so nothing was sent."), this);
        return;
    }
    const QString name = QFileInfo(destination).completeBaseName();
    setStatus(QStringLiteral("Saving ") + name + QStringLiteral("…"));
    m_saving = true;
    m_saveButton->setEnabled(false);
    auto* watcher = new QFutureWatcher<Outcome<bool>>(this);
    connect(watcher, &QFutureWatcher<Outcome<bool>>::finished, this,
            [this, watcher, destination, name, then] {
                const Outcome<bool> result = watcher->result();
                watcher->deleteLater();
                m_saving = false;
                if (!result) {
                    QFile::remove(destination);
                    qCWarning(logVideo) << "saving" << destination << "failed:" << result.message();
                    setStatus(QStringLiteral("Couldn't save: ") + result.message());
                    m_saveButton->setEnabled(m_edit != m_saved);
                    if (then)
                        Toast::warn(QStringLiteral("Couldn't save your changes, so nothing was sent."), this);
                    Q_EMIT saveFailed(result.message());
                    return;
                }
                CaptureStore::noteChange();
                m_beforeOrganising.reset();
                m_saved = VideoEdit();
                setEdit([](VideoEdit& e) { e = VideoEdit(); });
                m_saved = m_edit;
                rebuildNotes();
                m_muteButton->setChecked(false);
                load(destination);
                setStatus(QStringLiteral("Saved as ") + name + QStringLiteral("."));
                m_saveButton->setEnabled(m_edit != m_saved);
                Q_EMIT versionSaved(destination);
                if (then) then(destination);
            });
    watcher->setFuture(VideoRenderer::exportVideo(m_edit, m_file, destination));
}

void VideoEditorWindow::withChangesSaved(std::function<void(const QString&)> action) {
    endTyping();
    if (!m_edit.hasChanges()) {
        action(m_file);
        return;
    }
    Toast::show(QStringLiteral("Saving your changes…"), QStringLiteral("hourglass"), this);
    saveChanges(std::move(action));
}

void VideoEditorWindow::shareVideo() {
    if (!onShare) return;
    withChangesSaved([this](const QString& file) {
        if (onShare) onShare(file, m_shareButton);
    });
}

void VideoEditorWindow::copyVideo() {
    withChangesSaved([this](const QString& file) {
        if (Clipboard::put(QStringList{file}))
            Toast::show(QStringLiteral("Copied"), Toast::defaultSymbol, this);
        else
            Toast::warn(QStringLiteral("Couldn't copy. Try again, or drag the picture instead."), this);
    });
}

void VideoEditorWindow::sendVideo() {
    withChangesSaved([](const QString& file) { ChatSender::send({file}); });
}

} // namespace ombrel
