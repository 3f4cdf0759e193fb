// The splash, the about box and its links.
#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "common/ui_controls.h"
#include "app/weblinks.h"
#include "support/scriptedprompts.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void splashIsNotShortened()
    {
        frmSplash splash(600);
        QTimer::singleShot(50, &splash, [&splash] {
            QTest::keyClick(&splash, Qt::Key_Escape);
            QTest::keyClick(&splash, Qt::Key_Return);
            QTest::mouseClick(splash.imgSplash, Qt::LeftButton);
            splash.close();
        });
        QElapsedTimer clock;
        clock.start();
        splash.showModal();
        QVERIFY2(clock.elapsed() >= 550, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(splash.size(), QSize(353, 200));
        QVERIFY(!splash.imgSplash->pixmap().isNull());
        QCOMPARE(splash.imgSplash->pixmap().size(), QSize(353, 200));
    }

    void aboutBox()
    {
        ScriptedPrompts prompts;
        frmAbout about(prompts);
        QCOMPARE(about.windowTitle(), QStringLiteral("Vidlark Web Video Encoder ver 4 build 0.0.4 Revision 26"));
        QCOMPARE(about.lblUses->text(), QStringLiteral("Vidlark Web Vdeo Encoder uses FFMPEG and QT-FS"));
        QCOMPARE(about.lblUses->toolTip(), QStringLiteral(" Yes we love them! "));
        QCOMPARE(about.imgAbout->pixmap().size(), QSize(32, 32));
        // Each link shows the address it opens; two clicks, two requests.
        QCOMPARE(about.lblVidlark->text(), weblinks::home);
        QCOMPARE(about.lblVidlarkSupport->text(), weblinks::support);
        QCOMPARE(about.lblVidlarkContact->text(), weblinks::contact);
        QTest::mouseClick(about.lblVidlarkContact, Qt::LeftButton);
        QTest::mouseClick(about.lblVidlarkContact, Qt::LeftButton);
        QTest::mouseClick(about.lblVidlark, Qt::LeftButton);
        about.lblVidlarkSupport->setFocus();
        QTest::keyClick(about.lblVidlarkSupport, Qt::Key_Space);
        QCOMPARE(prompts.urls(), (QStringList{weblinks::contact, weblinks::contact, weblinks::home, weblinks::support}));
        QCOMPARE(about.cmdOk->text(), QStringLiteral("&OK"));
        QCOMPARE(about.lblVidlark->toolTip(), QStringLiteral(" Visit Website "));
        QVERIFY(!about.lblVidlark->accessibleName().isEmpty());

        // Esc closes it like OK.
        QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Escape); });
        about.exec();
        QVERIFY(!about.isVisible());
        VERIFY_PROMPTS(prompts);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
