#pragma once
// The editor of a list file of the config folder, made for one of two
// lists: the video bitrates (config/configvbr.txt, one bitrate in kbit/s per
// line; typing is limited to digits, Backspace, Enter and "x") or the video
// window sizes (config/configvws.txt, one "WidthxHeight Custom Text" per
// line; any key). A frame with a caption, a multi-line text box holding the
// whole file and an information text, and the Save and Exit buttons. The
// file is read when the editor is created and written back whole on Save.
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
    enum class List { VideoBitrates, VideoWindowSizes };

    frmListEditor(List list, IPrompts &prompts, const QString &appFolder, QWidget *parent = nullptr);

    // --- Controls (the names each editor's window gives them) ---
    QGroupBox *Frame1 = nullptr;
    QLabel *lblCaption = nullptr;      // lblVideoBitrates, Label2
    QPlainTextEdit *txtList = nullptr; // txtVideoBitrates, txtVideoWindowSizes
    QLabel *lblInformation = nullptr;  // lblInformation, Label1
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
    // Key filter of the text box: set keyAscii to 0 to discard the key.
    void txtList_KeyPress(int &keyAscii);

    // The text box's text with its line ends as "\n".
    QString editorText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls(List list);

    IPrompts &m_prompts;
    const bool m_bitrates;
    QString m_filePath;
};
