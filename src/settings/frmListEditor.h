#pragma once
// What the two list editors (video bitrates, video window sizes) share: a
// frame with a caption label, a multi-line text box holding the whole list
// file, an information label, and the Save and Exit buttons. The file is read
// when the editor is created and written back whole on Save.
#include <QDialog>

class IPrompts;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmListEditor : public QDialog
{
    Q_OBJECT
public:
    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdExit = nullptr;

    // Fills the text box from the file; a failure shows the general error
    // report and leaves the text box empty.
    void Form_Load();
    // Asks, then writes the text box's text (line ends as CR LF) and one more
    // CR LF over the file; the old file stays whole when writing fails.
    void cmdSave_Click();
    // Closes the editor; unsaved changes are dropped.
    void cmdExit_Click();

    // The text box's text with its line ends as "\n".
    QString editorText() const;

protected:
    frmListEditor(IPrompts &prompts, QWidget *parent, const QString &filePath, const QString &windowTitle);
    // Lays out the editor's caption label, text box and information label
    // inside the frame; called once by the concrete editor's constructor.
    void placeControls(QLabel *caption, QPlainTextEdit *textBox, QLabel *information);

    IPrompts &m_prompts;

private:
    QString m_filePath;
    QPlainTextEdit *m_textBox = nullptr;
};
