#pragma once
// The video editor: plays a recording, crops and mutes it, puts text notes on it at chosen
// moments, edits and styles its captions, numbers the notes as steps, and saves the result
// as the next version beside the recording, copies it or sends it into the chat. The
// recording itself never changes: every action changes the window's VideoEdit, and "Save
// Version" renders it into a new file that the window then shows with an empty edit.
// Main thread only.

#include "video/VideoEdit.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QScrollArea;
class QSlider;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace ombrel {

class VideoOverlayView;
class VideoPictureView;
class VideoPlayer;

class VideoEditorWindow : public QWidget {
    Q_OBJECT
  public:
    // Shows the editor of `file`: the open one when there is one, else a new one. Each editor
    // stays alive while it is listed in `openEditors`.
    static VideoEditorWindow* open(const QString& file);
    static const QList<VideoEditorWindow*>& openEditors();

    // Set by the application shell once a share menu exists: pops it up for the file under
    // the anchor. Until then the Share button is disabled.
    static inline std::function<void(const QString& file, QWidget* anchor)> onShare;

    explicit VideoEditorWindow(const QString& file, QWidget* parent = nullptr);
    ~VideoEditorWindow() override;

    const QString& file() const { return m_file; }
    const VideoEdit& edit() const { return m_edit; }
    const VideoEdit& saved() const { return m_saved; }
    double duration() const { return m_duration; }
    VideoPlayer& player() const { return *m_player; }
    VideoOverlayView& overlay() const { return *m_overlay; }
    bool isSaving() const { return m_saving; }

    // Player.
    void togglePlay();
    void seek(double seconds);
    void refreshTime();
    // The picture's rectangle inside `bounds`, aspect-fit and centred.
    QRectF fittedVideoRect(const QRectF& bounds) const;

    // Edit actions.
    void toggleCrop();
    void applyCrop(const QRectF& unitRect);
    void toggleMute();
    void toggleAddText();
    void placeText(const QPointF& unitPoint);
    void moveNote(int index, const QPointF& unitPoint);
    void setNote(int index, const QString& text);
    void removeNote(int index);
    void beginTyping(int index);
    void endTyping();
    void beginChangingCaption(int index);
    void setCaptionText(const QString& text);
    // The menus, made fresh with the current choices ticked.
    std::unique_ptr<QMenu> makeCaptionMenu();
    std::unique_ptr<QMenu> makeStyleMenu(int noteIndex);
    void organiseSteps();
    void resetEdits();
    void jumpToNote(int index);
    // Applies a change to the edit and updates everything that depends on it.
    void setEdit(const std::function<void(VideoEdit&)>& change);

    // Transcription: captions from what is said in the video.
    void transcribe();
    void askForSpeechRecognition();
    void askToTurnOn(const QString& title, const QString& why, const QString& then, const QString& settings);
    // Whether a transcription error means the desktop's dictation is switched off.
    static bool dictationIsOff(const QString& domain, int code, const QString& description);
    void showLanguageMenu();
    // The language menu, made fresh with the current choice ticked.
    std::unique_ptr<QMenu> makeLanguageMenu();
    bool isTranscribing() const { return m_transcribing; }

    // Output.
    void saveVersion();
    void saveChanges(std::function<void(const QString& file)> then = {});
    void withChangesSaved(std::function<void(const QString& file)> action);
    void shareVideo();
    void copyVideo();
    void sendVideo();

    // The height of the notes list for `count` notes.
    static int notesListHeight(int count);

    // The widgets, for the tests and the end-to-end run.
    QToolButton* button(const QString& title) const;
    QLabel* statusLabel() const { return m_status; }
    QLabel* timeLabel() const { return m_timeLabel; }
    QSlider* scrubber() const { return m_scrubber; }
    QLineEdit* typingField() const { return m_typingField; }
    QLineEdit* captionField() const { return m_captionField; }
    QScrollArea* notesScroll() const { return m_notesScroll; }
    const QList<QLineEdit*>& noteFields() const { return m_noteFields; }
    QWidget* playerHolder() const;
    // The question now asked in a sheet or alert, if any.
    QMessageBox* question() const { return m_question; }

  Q_SIGNALS:
    // A version was written and is now shown.
    void versionSaved(const QString& file);
    void saveFailed(const QString& why);
    void firstPictureShown();
    // A transcription ended, whatever its outcome.
    void transcribed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A button of the window's bars: a symbol, beside its title when it has one.
    static QToolButton* makeButton(const QString& title, const QString& symbol, const QString& tip,
                                   bool checkable, QWidget* parent);
    void buildContent();
    void load(const QString& file);
    void layOutPlayer();
    void layOutTypingField();
    void layOutCaptionField();
    void rebuildNotes();
    void setStatus(const QString& text);
    void showCaptionMenu();
    void ask(QMessageBox* box);
    void setCaptionStyle(const std::function<void(CaptionStyle&)>& change, bool custom);
    void windowWillClose();

    QString m_file;
    std::unique_ptr<VideoPlayer> m_player;
    VideoPictureView* m_playerHolder = nullptr;
    VideoOverlayView* m_overlay = nullptr;
    VideoEdit m_edit;
    VideoEdit m_saved;
    QSlider* m_scrubber = nullptr;
    QLabel* m_timeLabel = nullptr;
    QLabel* m_status = nullptr;
    QVBoxLayout* m_notesStack = nullptr;
    QScrollArea* m_notesScroll = nullptr;
    QList<QLineEdit*> m_noteFields;
    QTimer* m_timeObserver = nullptr;
    double m_duration = 0;
    QToolButton *m_playButton = nullptr, *m_cropButton = nullptr, *m_muteButton = nullptr,
                *m_addTextButton = nullptr, *m_resetButton = nullptr, *m_organiseButton = nullptr,
                *m_transcribeButton = nullptr, *m_captionButton = nullptr, *m_languageAnchor = nullptr;
    QToolButton *m_saveButton = nullptr, *m_shareButton = nullptr, *m_copyButton = nullptr,
                *m_sendButton = nullptr;
    QLineEdit* m_captionField = nullptr;
    QLineEdit* m_typingField = nullptr;
    std::optional<VideoEdit> m_beforeOrganising;
    std::optional<VideoEdit> m_beforeReset;
    QPointer<QMessageBox> m_question;
    bool m_saving = false;
    bool m_transcribing = false;
    bool m_closeConfirmed = false;
    bool m_firstPictureShown = false;
};

} // namespace ombrel
