#include "app/ui_controls.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>

namespace ui {

int checkValue(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

void setCheckValue(QCheckBox *box, int value)
{
    if (value == 2) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    } else {
        box->setCheckState(value == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

void setOption(QAbstractButton *button, bool selected)
{
    if (button->isChecked() == selected)
        return;
    if (selected) {
        button->setChecked(true);
        return;
    }
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

quint32 foreColor(const QWidget *widget)
{
    const QColor c = widget->palette().color(QPalette::WindowText);
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

void setForeColor(QWidget *widget, quint32 color)
{
    const QColor c(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    widget->setPalette(p);
}

QString tipFor(const QString &caption)
{
    return QLatin1Char(' ') + caption + QLatin1Char(' ');
}

void describe(QWidget *widget, const QString &tooltip, const QString &accessibleName)
{
    widget->setToolTip(tooltip);
    widget->setAccessibleDescription(tooltip.trimmed());
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
}

} // namespace ui

CaptionLabel::CaptionLabel(QWidget *parent, bool mirrorTooltip)
    : QLabel(parent), m_mirror(mirrorTooltip)
{
    setTextFormat(Qt::PlainText);
}

void CaptionLabel::setCaption(const QString &caption)
{
    if (caption == text())
        return;
    setText(caption);
    setAccessibleName(caption);
    if (m_mirror)
        setToolTip(ui::tipFor(caption));
    emit captionChanged(caption);
}

LinkLabel::LinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(QCursor(QPixmap(QStringLiteral(":/vidlark/link-cursor.png")), 6, 1));
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
        || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

ColorTextBox::ColorTextBox(QWidget *parent) : QLineEdit(parent)
{
}

void ColorTextBox::setForeColor(quint32 color)
{
    m_color = color;
    ui::setForeColor(this, color);
}

namespace ui {
QFont standardFont(double pointSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}
} // namespace ui
