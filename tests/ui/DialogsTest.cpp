// The picture frame of CBigButton, the splash window and About box, and the directory chooser's
// answer.
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "ui/BigButton.h"
#include "ui/DirDialog.h"
#include "ui/SplashWnd.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void bigButtonDrawsFrameShadowAndPicture() {
        CBigButton button;
        QVERIFY(button.LoadPicture(QStringLiteral(":/res/wizard.bmp")));
        QCOMPARE(button.Picture().size(), QSize(100, 150));
        QCOMPARE(button.Picture().format(), QImage::Format_Indexed8);
        QCOMPARE(button.size(), QSize(108, 158));
        QPalette pal = button.palette();
        pal.setColor(QPalette::Window, Qt::red);
        button.setPalette(pal);
        QImage shot = button.grab().toImage();
        const QColor black(Qt::black), white(Qt::white), shadow(64, 64, 64), red(Qt::red);
        QCOMPARE(shot.pixelColor(0, 0), black);
        QCOMPARE(shot.pixelColor(103, 153), black);  // the frame ends 4 pixels in
        QCOMPARE(shot.pixelColor(103, 0), black);
        QCOMPARE(shot.pixelColor(1, 1), white);
        QCOMPARE(shot.pixelColor(2, 2), button.Picture().pixelColor(0, 0));
        QCOMPARE(shot.pixelColor(101, 151), button.Picture().pixelColor(99, 149));
        QCOMPARE(shot.pixelColor(107, 157), shadow);
        QCOMPARE(shot.pixelColor(104, 4), shadow);
        QCOMPARE(shot.pixelColor(4, 154), shadow);
        // The shadow starts 4 pixels down and in: those corners show the window behind.
        QCOMPARE(shot.pixelColor(106, 1), red);
        QCOMPARE(shot.pixelColor(1, 156), red);
    }

    void aboutBoxClosesOnAClickAnywhere() {
        CSplashWnd about(true);
        QCOMPARE(about.Picture()->size(), QSize(408, 207));
        QVERIFY(about.TitleLabel()->text().startsWith(QStringLiteral("Tessary\u2122: ")));
        QTimer::singleShot(50, &about, [&about] {
            QTest::mouseClick(about.Picture(), Qt::LeftButton, {}, QPoint(200, 100));
        });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
        QTimer::singleShot(50, &about, [&about] {
            QTest::mouseClick(about.TitleLabel(), Qt::LeftButton, {}, QPoint(10, 5));
        });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
        QTimer::singleShot(50, &about, [&about] { QTest::keyClick(&about, Qt::Key_Return); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    void startupSplashGoesForGoodOnAClick() {
        QPointer<CSplashWnd> splash = new CSplashWnd(false);
        QSignalSpy dismissed(splash.data(), &CSplashWnd::dismissed);
        splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(dismissed.count(), 1);
        QVERIFY(!splash->isVisible());
        QTRY_VERIFY(splash.isNull());
    }

    void chosenDirectoryHasNoTrailingSeparator() {
        QCOMPARE(ChosenDirectory("/"), std::string("/"));
        QCOMPARE(ChosenDirectory("/srv/site/"), std::string("/srv/site"));
        QCOMPARE(ChosenDirectory("/srv/site"), std::string("/srv/site"));
        QCOMPARE(ChosenDirectory(""), std::string());
    }
};

QTEST_MAIN(TestDialogs)
#include "DialogsTest.moc"
