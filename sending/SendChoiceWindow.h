#pragma once
// Asks, when the editor holds several pictures, whether an action (such as sending)
// applies to the current picture or to all of them. At most one is open at a time.
// Keys: "1" chooses this picture, Return or keypad Enter all of them, Escape cancels.

#include <QAbstractButton>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace ombrel {

// A clickable card: the pictures it stands for drawn as a fan, a title and its key.
class ChoiceCard : public QAbstractButton {
    Q_OBJECT
  public:
    ChoiceCard(const QString& title, const QString& key, QList<QImage> pictures, bool main, QWidget* parent);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString m_key;
    QList<QImage> m_pictures;
    bool m_main;
};

class SendChoiceWindow : public QWidget {
    Q_OBJECT
  public:
    using OnChoose = std::function<void(bool all)>;

    // Closes any open choice window without choosing, then opens a new one.
    static SendChoiceWindow* ask(const QString& verb, const QImage& current, const QList<QImage>& all,
                                 int count, OnChoose onChoose);
    static SendChoiceWindow* current();

    // Closes with a choice: true for all pictures, false for this one.
    void choose(bool all);
    // Closes without a choice.
    void cancel();

    ChoiceCard* thisCard() const { return m_thisCard; }
    ChoiceCard* allCard() const { return m_allCard; }
    QPushButton* cancelButton() const { return m_cancel; }
    QString heading() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SendChoiceWindow(const QString& verb, const QImage& current, const QList<QImage>& all, int count,
                     OnChoose onChoose);
    void finish(std::optional<bool> choice);

    OnChoose m_onChoose;
    QLabel* m_heading = nullptr;
    ChoiceCard* m_thisCard = nullptr;
    ChoiceCard* m_allCard = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_monitoring = false;
};

} // namespace ombrel
