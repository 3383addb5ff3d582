// Opens the editor on a plain picture with the real platform services, starts "Speak a
// comment" on the comment of the whole picture and prints "listening" once the microphone is
// heard; then prints every comment text dictation writes, and the final comment when
// dictation ends by itself (or after SECONDS). An optional PNG gets a picture of the window.
//   dictationprobe SECONDS [WINDOW.png]
#include "editor/EditorWindow.h"
#include "editor/NoteField.h"
#include "platform/Platform.h"
#include "understanding/CommentDictation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

using namespace ombrel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    const QString shot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    Platform::install(makeNativePlatform());
    QImage picture(900, 560, QImage::Format_RGB32);
    picture.fill(QColor(235, 238, 245));
    EditorWindowController editor(picture, CaptureStyle::MiniPanel,
                                  QGuiApplication::primaryScreen()->geometry());
    editor.present();
    QElapsedTimer clock;
    clock.start();
    QString last;
    bool started = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString text = editor.commentField()->text();
        if (text != last) {
            last = text;
            out << "comment at " << clock.elapsed() << " ms: " << text << Qt::endl;
        }
        if (!started && editor.dictation()->isListening()) {
            started = true;
            out << "listening" << Qt::endl;
        }
        if ((started && !editor.dictation()->isListening()) || clock.elapsed() > seconds * 1000) {
            poll.stop();
            if (!shot.isEmpty()) editor.grab().save(shot);
            out << "final: " << editor.commentField()->text() << Qt::endl;
            app.exit(editor.commentField()->text().isEmpty() ? 1 : 0);
        }
    });
    QTimer::singleShot(500, [&] {
        editor.speakComment();
        poll.start();
    });
    return app.exec();
}
