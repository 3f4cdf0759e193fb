#include "common/ui_controls.h"

#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QUrl>

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

QString spokenCaption(const QString &caption)
{
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        spoken.append(caption.at(i));
    }
    return spoken.trimmed();
}

void buddy(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(spokenCaption(label->text()).remove(QLatin1Char(':')));
}

QComboBox *dropDown(QWidget *parent, const char *name, const QString &tooltip)
{
    auto *combo = named(new QComboBox(parent), name, tooltip);
    combo->setEditable(false);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

QString droppedPath(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    return urls.first().toLocalFile();
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

std::optional<int> typedCharacter(const QKeyEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    switch (event->key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Delete:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return std::nullopt;
    default: break;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return std::nullopt;
    return int(text.at(0).unicode());
}

} // namespace ui

CaptionLabel::CaptionLabel(QWidget *parent, bool mirrorTooltip) : QLabel(parent), m_mirror(mirrorTooltip)
{
    setTextFormat(Qt::PlainText);
}

void CaptionLabel::showAsPath(const QString &description, int minimumWidth)
{
    setStyleSheet(QStringLiteral(
        "QLabel { border: 1px solid palette(mid); background: palette(base); padding: 2px; }"));
    if (minimumWidth > 0)
        setMinimumWidth(minimumWidth);
    // A long path must not widen the window.
    m_caption = text();
    m_elide = true;
    showCaption();
    updateGeometry();
    setAccessibleDescription(description);
}

void CaptionLabel::setCaption(const QString &caption)
{
    if (caption == this->caption())
        return;
    m_caption = caption;
    showCaption();
    setAccessibleName(caption);
    if (m_mirror)
        setToolTip(ui::tipFor(caption));
    emit captionChanged(caption);
}

void CaptionLabel::showCaption()
{
    if (!m_elide) {
        setText(m_caption);
        return;
    }
    // The room QLabel draws the text in: the contents less the margin and,
    // on a framed label with the default indent, half an "x" on each side.
    const QFontMetrics metrics = fontMetrics();
    int room = contentsRect().width() - 2 * margin();
    if (indent() > 0)
        room -= indent();
    else if (indent() < 0 && frameWidth() > 0)
        room -= metrics.horizontalAdvance(QLatin1Char('x'));
    const QString shown = metrics.elidedText(m_caption, Qt::ElideMiddle, qMax(room, 0));
    if (shown != text())
        setText(shown);
}

// Width of about 20 characters (the window or a minimum width usually gives
// more) and the height of one line, whatever the caption.
QSize CaptionLabel::elidingSize(bool minimum) const
{
    ensurePolished();
    const QSize base = minimum ? QLabel::minimumSizeHint() : QLabel::sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const QRect contents = contentsRect();
    const int chromeWidth = width() - contents.width() + 2 * margin();
    const int chromeHeight = height() - contents.height() + 2 * margin();
    const int chars = minimum ? 8 : 20;
    return QSize(chromeWidth + chars * metrics.averageCharWidth(),
                 qMax(base.height(), chromeHeight + metrics.height()));
}

QSize CaptionLabel::sizeHint() const
{
    return m_elide ? elidingSize(false) : QLabel::sizeHint();
}

QSize CaptionLabel::minimumSizeHint() const
{
    return m_elide ? elidingSize(true) : QLabel::minimumSizeHint();
}

void CaptionLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (m_elide)
        showCaption();
}

void CaptionLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (m_elide
        && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange
            || event->type() == QEvent::ContentsRectChange))
        showCaption();
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
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
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
