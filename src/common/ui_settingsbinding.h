#pragma once
// Controls tied to the settings model: a control's change writes its
// setting, and a setting's change shows in its control. Showing a setting
// writes nothing back, as the control's signals are blocked meanwhile: what
// a window connects to a control's change runs only for changes made in the
// control (by the user, or by code that sets the control).
#include "common/settingsmodel.h"

#include <QHash>
#include <QObject>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;
class CaptionLabel;

namespace ui {

class SettingsBinding : public QObject
{
    Q_OBJECT
public:
    explicit SettingsBinding(settings::Model &model, QObject *parent = nullptr);

    // Each control shows its setting at once. A list shows the setting's
    // entries as well, a text box takes as many characters as the setting.
    void bind(QCheckBox *box, settings::Setting setting);
    void bindOption(QAbstractButton *option, settings::Setting setting);
    void bind(QComboBox *list, settings::Setting setting);
    void bind(QLineEdit *box, settings::Setting setting);
    void bind(CaptionLabel *label, settings::Setting setting);

private:
    void add(QWidget *control, settings::Setting setting);
    void show(int setting);
    void showEntries(int setting);

    settings::Model &m_model;
    QHash<int, QWidget *> m_controls;
};

} // namespace ui
