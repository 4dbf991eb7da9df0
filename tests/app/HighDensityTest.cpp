// At 200 % the tool bar glyphs, the window icon and the About banner come from their own @2x
// drawings, not from the 1x pictures blown up.
#include "about/About.h"
#include "app/window/_Vimora.h"
#include "help/loader/hh.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {

// A pixmap holds its picture premultiplied, exactly (integer arithmetic on every processor).
// The way back to straight alpha is lossy for soft edges, and Qt's SIMD version breaks its ties
// with an approximate reciprocal whose last bits differ between processor makers: compare
// premultiplied pictures, so that equal means "this very picture", on any x86-64.
QImage premultiplied(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class HighDensityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void toolBarGlyphsAndWindowIconAreDrawnAtTwice_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("size");

        QTest::newRow("calculate") << "tlbtnCalculer"
                                   << "glyphs/calculer" << 16;
        QTest::newRow("clear") << "tlbtnEffacer"
                               << "glyphs/effacer" << 16;
        QTest::newRow("copy") << "tlbtnCopier"
                              << "glyphs/copier" << 16;
        QTest::newRow("help") << "tlbtnAide"
                              << "glyphs/aide" << 16;
        QTest::newRow("quit") << "tlbtnQuitter"
                              << "glyphs/quitter" << 16;
        QTest::newRow("window icon") << ""
                                     << "icons/vimora" << 32;
    }

    void toolBarGlyphsAndWindowIconAreDrawnAtTwice() {
        QFETCH(QString, action);
        QFETCH(QString, picture);
        QFETCH(int, size);
        const vimora::help::HelpEngineLoader noHelpEngine{std::string()};
        TfrmVimora window(noHelpEngine);
        const QIcon icon =
            action.isEmpty() ? window.windowIcon() : window.findChild<QAction*>(action)->icon();
        const QPixmap shown = icon.pixmap(QSize(size, size), 2.0);
        const QImage drawn(":/" + picture + "@2x.png");
        QCOMPARE(drawn.size(), QSize(2 * size, 2 * size));
        QCOMPARE(premultiplied(shown.toImage()), premultiplied(drawn));
    }

    void aboutBannerIsDrawnAtTwice() {
        vimora::TFAbout about;
        const auto* banner = about.findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(banner->size(), QSize(298, 81));
        QCOMPARE(premultiplied(banner->pixmap().toImage()),
                 premultiplied(QImage(QStringLiteral(":/about/banner@2x.png"))));
    }
};

QTEST_MAIN(HighDensityTest)
#include "HighDensityTest.moc"
