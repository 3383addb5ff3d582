#include "Permissions.h"

#include "platform/Platform.h"
#include "ui/PlatformWords.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

namespace ombrel {

namespace {

Permissions::Presenter& presenter() {
    static Permissions::Presenter p = nullptr;
    return p;
}

int runAlert(const QString& givenTitle, const QString& givenMessage, const QStringList& givenButtons) {
    // Every alert reads in this desktop's names ("your computer", "Files", "Ctrl+").
    const QString title = words(givenTitle);
    const QString message = words(givenMessage);
    const QStringList buttons = words(givenButtons);
    if (presenter()) return presenter()(title, message, buttons);
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Ombrel Capture"));
    box.setText(title);
    box.setInformativeText(message);
    box.setIcon(QMessageBox::Warning);
    // Alerts float above other windows and stay when the program is in the background.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QList<QPushButton*> made;
    for (const QString& b : buttons)
        made.append(box.addButton(b, made.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (made.isEmpty()) made.append(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(made.first());
    box.activateWindow();
    box.raise();
    box.exec();
    return std::max<int>(0, made.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
}

} // namespace

void Permissions::setPresenter(Presenter p) {
    presenter() = p;
}

void Permissions::show(const QString& title, const QString& message) {
    runAlert(title, message, {});
}

int Permissions::ask(const QString& title, const QString& message, const QStringList& buttons) {
    return runAlert(title, message, buttons);
}

bool Permissions::askToOpenSettings(const QString& title, const QString& message) {
    return runAlert(title, message, {QStringLiteral("Open Settings"), QStringLiteral("Not Now")}) == 0;
}

void Permissions::explainScreenRecording() {
    const bool open = askToOpenSettings(
        QStringLiteral("Let Ombrel Capture see your screen"),
        QStringLiteral(
            "Your Mac asks before any app can take a picture of your screen. You only do this once.\n\n"
            "Turn on Ombrel Capture in the list that opens. If it asks to quit and reopen, say yes. If "
            "the camera button doesn't come back, open Ombrel Capture again."));
    if (open) // the desktop's privacy settings, where the desktop has such a page
        QProcess::startDetached(QStringLiteral("gnome-control-center"), {QStringLiteral("privacy")});
}

QString Permissions::failureMessage(const QString& error) {
    QString message =
        QStringLiteral("Please try again. If it keeps happening, quit Ombrel Capture from the menu bar "
                       "and open it again. If your disk is nearly full, free up some space first.");
    if (!error.isEmpty()) message += QStringLiteral("\n\nYour Mac said: ") + error;
    return message;
}

void Permissions::explainFailure(const QString& title, const QString& error) {
    if (!Platform::access().screenCaptureAllowed()) {
        explainScreenRecording();
        return;
    }
    show(title, failureMessage(error));
}

} // namespace ombrel
