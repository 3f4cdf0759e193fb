// Shared controls as a desktop drives them: which key presses count as typed
// characters for the key filters, and path labels that shorten a long path
// in the middle instead of widening their window.
#include "app/frmMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "mp4fix/frmFixMp4.h"
#include "support/scriptedprompts.h"
#include "support/testprogram.h"
#include "watermark/frmWatermarkOptions.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// About 300 characters, with a file name at the end worth keeping.
QString longPath(const QString &fileName)
{
    QString path;
    while (path.size() < 300 - fileName.size())
        path += QStringLiteral("/a rather long folder name");
    return path + QLatin1Char('/') + fileName;
}

// Lets a fixed-size window follow its layout.
void settle(QWidget *window)
{
    QCoreApplication::sendPostedEvents();
    window->layout()->activate();
    QCoreApplication::sendPostedEvents();
}

struct Sizes {
    QSize hint;
    QSize size;
};

Sizes sizesOf(QWidget *window)
{
    settle(window);
    return {window->sizeHint(), window->size()};
}

// The label shows the path cut in the middle, within its room, while the
// caption and the tooltip keep all of it.
void checkShortened(const CaptionLabel *label, const QString &path)
{
    QCOMPARE(label->caption(), path);
    QCOMPARE(label->toolTip(), QLatin1Char(' ') + path + QLatin1Char(' '));
    QCOMPARE(label->accessibleName(), path);
    const QString shown = label->text();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY2(shown.size() < path.size(), qPrintable(shown));
    QVERIFY(shown.startsWith(QLatin1Char('/')));
    QVERIFY2(shown.endsWith(path.right(4)), qPrintable(shown)); // the file name's end stays
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(shown) <= label->contentsRect().width());
}

} // namespace

class tst_Controls : public QObject
{
    Q_OBJECT

private slots:
    void typedCharacters_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("typed"); // -1: not a typed character

        const int none = Qt::NoModifier;
        QTest::newRow("digit") << int(Qt::Key_7) << QStringLiteral("7") << none << int('7');
        QTest::newRow("letter") << int(Qt::Key_X) << QStringLiteral("x") << none << int('x');
        QTest::newRow("shifted letter") << int(Qt::Key_X) << QStringLiteral("X") << int(Qt::ShiftModifier) << int('X');
        QTest::newRow("blank") << int(Qt::Key_Space) << QStringLiteral(" ") << none << int(' ');
        QTest::newRow("keypad digit") << int(Qt::Key_5) << QStringLiteral("5") << int(Qt::KeypadModifier) << int('5');
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << QStringLiteral("\x08") << none << 8;
        QTest::newRow("Backspace without text") << int(Qt::Key_Backspace) << QString() << none << 8;
        QTest::newRow("Enter") << int(Qt::Key_Return) << QStringLiteral("\r") << none << 13;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << QStringLiteral("\r") << int(Qt::KeypadModifier) << 13;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << QStringLiteral("\x7f") << none << -1;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << QStringLiteral("\x1b") << none << -1;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << QStringLiteral("\t") << none << -1;
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << QStringLiteral("\t") << int(Qt::ShiftModifier) << -1;
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << QStringLiteral("\x01") << int(Qt::ControlModifier) << -1;
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << QStringLiteral("\x16") << int(Qt::ControlModifier) << -1;
        QTest::newRow("Ctrl+Shift+Z") << int(Qt::Key_Z) << QStringLiteral("\x1a")
                                      << int(Qt::ControlModifier | Qt::ShiftModifier) << -1;
        QTest::newRow("Alt+1") << int(Qt::Key_1) << QStringLiteral("1") << int(Qt::AltModifier) << -1;
        QTest::newRow("Meta+x") << int(Qt::Key_X) << QStringLiteral("x") << int(Qt::MetaModifier) << -1;
        QTest::newRow("arrow") << int(Qt::Key_Left) << QString() << none << -1;
        QTest::newRow("Home") << int(Qt::Key_Home) << QString() << none << -1;
    }

    void typedCharacters()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QFETCH(int, typed);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        const std::optional<int> got = ui::typedCharacter(&event);
        QCOMPARE(got.value_or(-1), typed);
    }

    // The elision itself: short captions whole, long ones cut in the middle,
    // longer again once the label grows, whole again when switched off.
    void labelShortensInTheMiddle()
    {
        QWidget top;
        auto *label = new CaptionLabel(&top, true);
        label->setElideMiddle(true);
        label->setGeometry(0, 0, 300, 30);
        top.show();
        const QSize emptyHint = label->sizeHint();

        label->setCaption(QStringLiteral("/clips/a.mp4"));
        QCOMPARE(label->text(), QStringLiteral("/clips/a.mp4"));

        const QString path = longPath(QStringLiteral("holiday.mp4"));
        QSignalSpy changes(label, &CaptionLabel::captionChanged);
        label->setCaption(path);
        QCOMPARE(changes.count(), 1);
        checkShortened(label, path);
        QCOMPARE(label->sizeHint(), emptyHint); // the hint does not follow the caption
        QVERIFY(label->minimumSizeHint().width() <= emptyHint.width());
        QVERIFY(emptyHint.width() >= 10 * QFontMetrics(label->font()).averageCharWidth());

        // The same caption again changes nothing, though the label shows less.
        label->setCaption(path);
        QCOMPARE(changes.count(), 1);

        const int before = label->text().size();
        label->resize(600, 30);
        checkShortened(label, path);
        QVERIFY(label->text().size() > before);

        label->setElideMiddle(false);
        QCOMPARE(label->text(), path);
        QCOMPARE(label->caption(), path);
        QVERIFY(label->sizeHint().width() > 600);
    }

    // A long path chosen in each window leaves the window's width alone.
    void windowsKeepTheirWidth()
    {
        TestProgram p;
        QVERIFY(p.start());
        frmMain &m = *p.window;
        frmFixMp4 fix(p.forms);
        fix.show();
        frmWatermarkOptions &wm = p.forms.watermarkOptions();
        wm.show();
        wm.optImageWM->setChecked(true);
        struct Case {
            QWidget *window;
            QAbstractButton *button;
            const char *title, *file;
            CaptionLabel *label;
        };
        const Case cases[] = {
            {&m, m.cmdInput, "Source Video to Convert", "holiday.2012.avi", m.lblInput},
            {&fix, fix.cmdInput, "Select Mp4 File", "clip.mp4", fix.lblMp4Path},
            {&wm, wm.cmdWMImage, "Open Picture File", "logo.png", wm.lblWMImagePath},
        };
        for (const Case &c : cases) {
            const Sizes before = sizesOf(c.window);
            const QString path = longPath(QLatin1String(c.file));
            p.prompts.expectOpenFile(path, QLatin1String(c.title));
            c.button->click();
            const Sizes after = sizesOf(c.window);
            QCOMPARE(after.hint.width(), before.hint.width());
            QCOMPARE(after.size, before.size);
            checkShortened(c.label, path);
        }
        const QString source = m.lblInput->caption();
        checkShortened(m.lblOutDir, source.left(source.lastIndexOf(QLatin1Char('/')) + 1));
        QCOMPARE(m.txtOutFileMp4->text(), QStringLiteral("holiday.mp4"));
        QCOMPARE(wm.lblWMImageName->caption(), QStringLiteral("logo.png"));
        wm.hide();

        // A short source afterwards is shown whole again.
        const QSize size = m.size();
        p.prompts.expectOpenFile(QStringLiteral("/clips/a.avi"), QStringLiteral("Source Video to Convert"));
        m.cmdInput->click();
        QCOMPARE(m.lblInput->text(), QStringLiteral("/clips/a.avi"));
        QCOMPARE(m.lblOutDir->text(), QStringLiteral("/clips/"));
        QCOMPARE(sizesOf(&m).size, size);
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"
