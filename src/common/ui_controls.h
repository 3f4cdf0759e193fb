#pragma once
// Small widget helpers shared by the windows: check-box values as the
// program stores them (0, 1, 2), option buttons that can all be cleared,
// labels that mirror their caption into their tooltip, and link controls.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <optional>
#include <type_traits>

class QComboBox;
class QKeyEvent;
class QMimeData;

namespace ui {

// 0 unchecked, 1 checked, 2 greyed.
int checkValue(const QCheckBox *box);
void setCheckValue(QCheckBox *box, int value);

// Sets an option button; clearing the selected one leaves its group with no
// selection, which profiles may ask for.
void setOption(QAbstractButton *button, bool selected);

// Text colour of a widget as a 0x00BBGGRR value, and setting it.
quint32 foreColor(const QWidget *widget);
void setForeColor(QWidget *widget, quint32 color);

// Tooltip " " + text + " " for every control that has a caption.
QString tipFor(const QString &caption);

// Gives a control its tooltip and tells the accessibility stack its caption
// and description.
void describe(QWidget *widget, const QString &tooltip, const QString &accessibleName = QString());

// A caption as screen readers say it: the mnemonic marks dropped ("&&"
// stays one "&").
QString spokenCaption(const QString &caption);

// Makes the label name the control for screen readers (its buddy), and
// gives the control the label's caption as its accessible name unless it
// has one.
void buddy(QLabel *label, QWidget *control);

// A drop-down list that cannot be typed into, as wide as its entries.
QComboBox *dropDown(QWidget *parent, const char *name, const QString &tooltip = QString());

// Names a control (its objectName) and gives it its tooltip, if any; a
// button's accessible name is its caption without mnemonic marks.
template <typename T>
T *named(T *widget, const char *name, const QString &tooltip = QString())
{
    widget->setObjectName(QLatin1String(name));
    if (!tooltip.isEmpty())
        describe(widget, tooltip);
    if constexpr (std::is_base_of_v<QAbstractButton, T>)
        widget->setAccessibleName(spokenCaption(widget->text()));
    return widget;
}

// The local file or folder dropped on a window: the first of the dropped
// addresses when it is a local one (the rest are passed over quietly);
// empty otherwise.
QString droppedPath(const QMimeData *data);

// The character a key press types, as key filters see it: Backspace is 8 and
// Enter 13; keys that type nothing have none. Delete, Esc, Tab and Backtab,
// and any key held with Ctrl, Alt or Meta, are editing and window keys even
// where the desktop gives them a control-code text ("\x7f", "\x1b", "\t",
// "\x01" for Ctrl+A): they have none either, so filters let them through.
std::optional<int> typedCharacter(const QKeyEvent *event);

} // namespace ui

// A label whose caption is set through setCaption(); the change signal runs
// the window's reaction, and with mirrorTooltip the tooltip follows the
// caption with one blank on each side.
//
// A label that shows a path (showAsPath) shows a caption wider than itself
// cut in the middle with "…" (a long path keeps its start and its file
// name), and its size hint no longer follows the caption, so a long path
// cannot widen a window of fixed size. caption(), the tooltip and the
// accessible name keep the whole caption; text() is what the label shows.
class CaptionLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CaptionLabel(QWidget *parent = nullptr, bool mirrorTooltip = false);
    void setCaption(const QString &caption);
    QString caption() const { return m_elide ? m_caption : text(); }

    // The look of a label that shows a path: a sunken box, the path cut in
    // the middle when it is long, and what it holds told to screen readers.
    void showAsPath(const QString &description, int minimumWidth = 0);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void captionChanged(const QString &caption);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Shows the caption, shortened to the room the label has when eliding.
    void showCaption();
    QSize elidingSize(bool minimum) const;

    bool m_mirror;
    bool m_elide = false;
    QString m_caption;
};

// A label or picture that opens something when clicked: link pointer,
// keyboard focus, Enter/Space activate it, and an accessible name.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

namespace ui {
// Tahoma 9 pt where installed, the desktop's sans-serif otherwise.
QFont standardFont(double pointSize = 9.0);
} // namespace ui
