#pragma once
// The program's general message panel: a heading, a detail line, a primary and a
// secondary button, optionally a preview of the pictures concerned and a "Not Now" link.
// It floats above other windows and never takes the keyboard focus, so the application
// the user works in keeps it while the panel waits.

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QVariantAnimation;

namespace ombrel {

class GlassPrompt : public QWidget {
    Q_OBJECT
  public:
    GlassPrompt(const QString& secondaryTitle, int width, QWidget* parent = nullptr);
    ~GlassPrompt() override;

    // Sets heading, detail and the primary button's label; a visible panel is laid out
    // again and re-centred.
    void say(const QString& heading, const QString& detail, const QString& button);
    // Lays out and centres the panel on the primary screen's available area, then shows it.
    void open();
    // Hides the panel.
    virtual void dismiss();
    // Shows a preview of the first file above the name label, with a line saying how many
    // further pictures there are.
    void showPicture(const QStringList& files);
    // Adds a "Not Now" link at the bottom that dismisses the panel.
    void offerNotNow();
    // The line under the preview for `fileCount` files; empty for one file or none.
    static QString morePicturesLine(int fileCount);

    // Shows `name` in the name label under the detail line; empty hides it.
    void setName(const QString& name);
    void setDetailColor(const QColor& color);
    // Draws the primary button as the main, highlighted choice.
    void setPrimaryHighlighted(bool highlighted);
    // Lights the panel's border once in `color` and lets it fade.
    void flash(const QColor& color);

    QString heading() const;
    QString detail() const;
    QLabel* headingLabel() const { return m_heading; }
    QLabel* detailLabel() const { return m_detail; }
    QPushButton* primaryButton() const { return m_primary; }
    QPushButton* secondaryButton() const { return m_secondary; }
    QPushButton* notNowButton() const { return m_notNow; }
    QWidget* preview() const { return m_preview; }
    bool isFlashing() const;

    std::function<void()> onPrimary;
    std::function<void()> onSecondary;

  protected:
    // Inserts a view into the column, just above the name label.
    void insertIntoColumn(QWidget* view);
    void resizeEvent(QResizeEvent* event) override;

  private:
    void centre();

    int m_width;
    QVBoxLayout* m_column = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_detail = nullptr;
    QLabel* m_name = nullptr;
    QPushButton* m_primary = nullptr;
    QPushButton* m_secondary = nullptr;
    QPushButton* m_notNow = nullptr;
    QWidget* m_preview = nullptr;
    QVariantAnimation* m_flash = nullptr;
    QWidget* m_rim = nullptr; // draws the flash above the panel's contents
};

} // namespace ombrel
