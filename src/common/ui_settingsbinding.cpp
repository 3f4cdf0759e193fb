#include "common/ui_settingsbinding.h"

#include "common/ui_controls.h"

#include <QComboBox>
#include <QRadioButton>
#include <QSignalBlocker>

namespace ui {

using settings::Setting;

SettingsBinding::SettingsBinding(settings::Model &model, QObject *parent) : QObject(parent), m_model(model)
{
    connect(&m_model, &settings::Model::changed, this, &SettingsBinding::show);
    connect(&m_model, &settings::Model::entriesChanged, this, &SettingsBinding::showEntries);
}

void SettingsBinding::add(QWidget *control, Setting setting)
{
    m_controls.insert(setting, control);
    showEntries(setting);
}

void SettingsBinding::bind(QCheckBox *box, Setting setting)
{
    add(box, setting);
    connect(box, &QCheckBox::stateChanged, this,
            [this, box, setting] { m_model.setValue(setting, checkValue(box)); });
}

void SettingsBinding::bindOption(QAbstractButton *option, Setting setting)
{
    add(option, setting);
    connect(option, &QAbstractButton::toggled, this,
            [this, setting](bool on) { m_model.setValue(setting, on); });
}

void SettingsBinding::bind(QComboBox *list, Setting setting)
{
    add(list, setting);
    connect(list, &QComboBox::currentIndexChanged, this,
            [this, setting](int index) { m_model.setValue(setting, index); });
}

void SettingsBinding::bind(QLineEdit *box, Setting setting)
{
    if (settings::maxLength(setting) >= 0)
        box->setMaxLength(settings::maxLength(setting));
    add(box, setting);
    connect(box, &QLineEdit::textChanged, this,
            [this, setting](const QString &text) { m_model.setText(setting, text); });
}

void SettingsBinding::bind(CaptionLabel *label, Setting setting)
{
    add(label, setting);
    connect(label, &CaptionLabel::captionChanged, this,
            [this, setting](const QString &caption) { m_model.setText(setting, caption); });
}

void SettingsBinding::show(int setting)
{
    QWidget *control = m_controls.value(setting);
    if (!control)
        return;
    const QSignalBlocker block(control);
    const Setting s = Setting(setting);
    if (auto *box = qobject_cast<QCheckBox *>(control)) {
        if (checkValue(box) != m_model.value(s))
            setCheckValue(box, m_model.value(s));
    } else if (auto *option = qobject_cast<QAbstractButton *>(control)) {
        setOption(option, m_model.isSelected(s));
    } else if (auto *list = qobject_cast<QComboBox *>(control)) {
        list->setCurrentIndex(m_model.value(s));
    } else if (auto *label = qobject_cast<CaptionLabel *>(control)) {
        if (label->caption() != m_model.text(s))
            label->setCaption(m_model.text(s));
    } else if (auto *text = qobject_cast<QLineEdit *>(control)) {
        // Setting the same text again would move the cursor to its end.
        if (text->text() != m_model.text(s))
            text->setText(m_model.text(s));
    }
}

void SettingsBinding::showEntries(int setting)
{
    if (auto *list = qobject_cast<QComboBox *>(m_controls.value(setting))) {
        const QSignalBlocker block(list);
        list->clear();
        list->addItems(m_model.entries(Setting(setting)));
    }
    show(setting);
}

} // namespace ui
