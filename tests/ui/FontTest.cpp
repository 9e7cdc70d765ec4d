// The report view's font in the profile's "Font" section: loaded at start-up, and at
// shut-down only what changed is written.
#include <QTest>

#include "base/Profile.h"
#include "platform/FileSystem.h"
#include "ui/MainFrame.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

bool StartOnReport(CTessaryApp& app, const CTempDir& dir) {
    std::string report = dir.Write("r.tsy", "report\r\n");
    return app.InitInstance({QStringLiteral("tessary"), QString::fromStdString(report)});
}

}  // namespace

class TestViewFont : public QObject {
    Q_OBJECT
private slots:
    void fontSectionIsLoadedAndSavedOnlyWhenChanged() {
        CUiTestEnv env;
        CTempDir dir;

        // No font chosen: the view keeps its default and shut-down writes no "Font" section.
        {
            CTessaryApp app(RealFileSystem());
            QVERIFY(StartOnReport(app, dir));
            QVERIFY(!app.ViewFont().IsChosen());
            app.ExitInstance();
            QVERIFY(env.ReadProfile().find("[Font]") == std::string::npos);
        }

        // A chosen font is written once: only the values that differ from what was loaded.
        {
            CTessaryApp app(RealFileSystem());
            QVERIFY(StartOnReport(app, dir));
            QFont font(QStringLiteral("DejaVu Sans Mono"));
            font.setPixelSize(13);
            font.setBold(true);
            app.Frame()->View()->ApplyFont(font);
            QCOMPARE(app.Frame()->View()->font().pixelSize(), 13);
            app.ExitInstance();
            CProfile saved;
            saved.Parse(env.ReadProfile());
            QCOMPARE(saved.GetInt("Font", "Height", 0), -13);
            QCOMPARE(saved.GetInt("Font", "Weight", 0), 700);
            QCOMPARE(saved.GetString("Font", "FaceName"), std::string("DejaVu Sans Mono"));
            QCOMPARE(saved.GetInt("Font", "CharSet", 0), 1);
            QVERIFY(saved.Has("Font", "PitchAndFamily"));
            // Italic and Underline stayed 0, as they were: not written.
            QVERIFY(!saved.Has("Font", "Italic"));
            QVERIFY(!saved.Has("Font", "Underline"));
        }

        // The next start shows the view in that font; quitting without a change writes
        // nothing, so a value changed meanwhile by someone else stays.
        {
            CTessaryApp app(RealFileSystem());
            QVERIFY(StartOnReport(app, dir));
            QFont font = app.Frame()->View()->font();
            QCOMPARE(font.pixelSize(), 13);
            QCOMPARE(font.weight(), QFont::Bold);
            QCOMPARE(font.family(), QStringLiteral("DejaVu Sans Mono"));
            app.Profile().SetInt("Font", "Weight", 123);
            app.ExitInstance();
            CProfile saved;
            saved.Parse(env.ReadProfile());
            QCOMPARE(saved.GetInt("Font", "Weight", 0), 123);
            QCOMPARE(saved.GetInt("Font", "Height", 0), -13);
        }

        // A long face name is cut to 31 bytes when loaded.
        env.WriteProfile("[Font]\nHeight=-12\nFaceName=" + std::string(40, 'F') + "\n");
        {
            CTessaryApp app(RealFileSystem());
            QVERIFY(StartOnReport(app, dir));
            QCOMPARE(app.ViewFont().Current().strFaceName, std::string(31, 'F'));
            QCOMPARE(app.ViewFont().Current().nCharSet, 1);
        }
    }
};

QTEST_MAIN(TestViewFont)
#include "FontTest.moc"
