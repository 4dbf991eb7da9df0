// At 200 % the tool bar glyphs, the window icon and the About banner come from their own @2x
// drawings, not from the 1x pictures blown up.
#include "About.h"
#include "_Vimora.h"
#include "hh.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {

QImage argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
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
        QCOMPARE(argb(shown.toImage()), argb(drawn));
    }

    void aboutBannerIsDrawnAtTwice() {
        vimora::TFAbout about;
        const auto* banner = about.findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(banner->size(), QSize(298, 81));
        QCOMPARE(argb(banner->pixmap().toImage()), argb(QImage(QStringLiteral(":/about/banner@2x.png"))));
    }
};

QTEST_MAIN(HighDensityTest)
#include "HighDensityTest.moc"
