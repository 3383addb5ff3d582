#pragma once
// The help window: the help page shipped with the program, in one window that is kept and
// shown again (closing it only hides it).

#include <QTextBrowser>

namespace ombrel {

class HelpWindow : public QTextBrowser {
    Q_OBJECT
  public:
    static inline const QString page = QStringLiteral("qrc:/onboarding/Help.html");
    static constexpr QSize minimumSizePt{480, 400};

    // Shows the help window in front.
    static void present();
    // Shows it when the user has never seen it; does nothing after that.
    static void presentOnFirstLaunch();
    // The one help window, made on first use.
    static HelpWindow& shared();
    static bool exists();

  private:
    HelpWindow();
};

} // namespace ombrel
