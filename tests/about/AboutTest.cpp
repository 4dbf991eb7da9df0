#include "about/About.h"
#include "DialogAnswerer.h"
#include "about/Lines.h"
#include "platform/qt/Sound.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <functional>

using vimora::TAboutBox;
using vimora::TFAbout;

namespace {

// Total physical memory as the kernel reports it in /proc/meminfo, read independently of the
// code under test.
std::uint64_t meminfoTotalBytes() {
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // /proc files report no size, so read them whole rather than testing for the end.
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "MemTotal:") {
            return fields[1].toULongLong() * 1024;
        }
    }
    return 0;
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndCutTo100_data();
    void defaultsAndCutTo100();
    void physicalMemoryCaption_data();
    void physicalMemoryCaption();
    void memoryStatusIsTheMachines();
    void executeShowsAFreshDialogEachTime();
    void creationErrorBeepsWithoutDialog();
    void etchedSeparatorOnScreen();
    void centredOnTheScreenFrameIncluded();
};

void AboutTest::defaultsAndCutTo100_data() {
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("initial");
    QTest::newRow("ProductName") << QByteArray("ProductName") << QString();
    QTest::newRow("Version") << QByteArray("Version") << QString();
    QTest::newRow("Copyright") << QByteArray("Copyright") << QStringLiteral("Copyright © 2026 Vimora Santé");
}

void AboutTest::defaultsAndCutTo100() {
    QFETCH(QByteArray, property);
    QFETCH(QString, initial);

    TAboutBox box;
    QCOMPARE(box.property(property).toString(), initial);

    const QString hundred = QStringLiteral("é").repeated(60) + QStringLiteral("x").repeated(40);
    box.setProperty(property, hundred);
    QCOMPARE(box.property(property).toString(), hundred);
    box.setProperty(property, hundred + QStringLiteral("ÿ"));
    QCOMPARE(box.property(property).toString(), hundred);
    box.setProperty(property, QStringLiteral("0123456789").repeated(15));
    QCOMPARE(box.property(property).toString(), QStringLiteral("0123456789").repeated(10));
}

void AboutTest::physicalMemoryCaption_data() {
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("caption");

    const QString prefix = QStringLiteral("Mémoire physique totale : ");
    QTest::newRow("512 MB") << quint64(536870912) << " " << prefix + "524 288 Ko";
    QTest::newRow("32-bit ceiling") << quint64(4294967295) << " " << prefix + "4 194 304 Ko";
    QTest::newRow("24 GB, not capped at 4 GB") << quint64(25769803776) << " " << prefix + "25 165 824 Ko";
    QTest::newRow("dot separator") << quint64(536870912) << "." << prefix + "524.288 Ko";
    QTest::newRow("narrow no-break space")
        << quint64(536870912) << QStringLiteral("\u202f") << prefix + QStringLiteral("524\u202f288 Ko");
    QTest::newRow("below a thousand") << quint64(999 * 1024) << " " << prefix + "999 Ko";
    QTest::newRow("exactly a thousand") << quint64(1000 * 1024) << " " << prefix + "1 000 Ko";
    QTest::newRow("half a kilobyte rounds up") << quint64(1536) << " " << prefix + "2 Ko";
    QTest::newRow("just under half rounds down") << quint64(1535) << " " << prefix + "1 Ko";
    QTest::newRow("largest 64-bit count")
        << quint64(18446744073709551615ULL) << "," << prefix + "18,014,398,509,481,984 Ko";
}

void AboutTest::physicalMemoryCaption() {
    QFETCH(quint64, bytes);
    QFETCH(QString, separator);
    QFETCH(QString, caption);
    QCOMPARE(vimora::physicalMemoryCaption(bytes, separator), caption);
}

void AboutTest::memoryStatusIsTheMachines() {
    const std::uint64_t total = meminfoTotalBytes();
    QVERIFY(total > 0);

    TFAbout form;
    QCOMPARE(form.lblPhysMem->text(),
             vimora::physicalMemoryCaption(total, QLocale::system().groupSeparator()));
    const QRegularExpression resources(QStringLiteral("^Ressources système      : (\\d+)% libre\\.$"));
    const QRegularExpressionMatch free = resources.match(form.lblPhysRes->text());
    QVERIFY2(free.hasMatch(), qPrintable(form.lblPhysRes->text()));
    QVERIFY(free.captured(1).toInt() <= 100);
    if (total <= 0xFFFFFFFFULL) {
        QSKIP("this machine has less than 4 GB, so a 32-bit total would be right too");
    }
    QVERIFY(form.lblPhysMem->text() !=
            vimora::physicalMemoryCaption(0xFFFFFFFFULL, QLocale::system().groupSeparator()));
}

void AboutTest::executeShowsAFreshDialogEachTime() {
    TAboutBox box;
    box.setProductName(QStringLiteral("Vimora XP"));
    box.setVersion(QStringLiteral("Version 1.0 - Win9x et WinXP"));

    QStringList captions;
    bool modal = false;
    QList<QPointer<TFAbout>> dialogs;
    const vimora::test::DialogAnswerer<TFAbout> answerer([&](TFAbout& dialog) {
        dialogs << &dialog;
        captions = {dialog.windowTitle(), dialog.Label1->text(), dialog.Label2->text(),
                    dialog.Label3->text()};
        modal = dialog.isModal() && QApplication::activeModalWidget() == &dialog;
        if (dialogs.size() == 1) {
            QTest::mouseClick(dialog.Button1, Qt::LeftButton);
        } else {
            dialog.windowHandle()->close();
        }
    });

    const std::uint64_t beepsBefore = vimora::platform::beepCount();
    box.Execute();
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(dialogs[0].isNull());
    QVERIFY(modal);
    QCOMPARE(captions, QStringList({QStringLiteral("A propos de..."), QStringLiteral("Vimora XP"),
                                    QStringLiteral("Version 1.0 - Win9x et WinXP"),
                                    QStringLiteral("Copyright © 2026 Vimora Santé")}));

    box.Execute();
    QCOMPARE(answerer.answered(), 2);
    QVERIFY(dialogs[1].isNull());
    QCOMPARE(vimora::platform::beepCount() - beepsBefore, std::uint64_t(2));
}

void AboutTest::creationErrorBeepsWithoutDialog() {
    // Make sure the library has registered its resources before they are taken away.
    { TFAbout form; }
    Q_CLEANUP_RESOURCE(about);
    QVERIFY_THROWS_EXCEPTION(vimora::AboutError, TFAbout());

    TAboutBox box;
    const vimora::test::DialogAnswerer<TFAbout> answerer([](TFAbout& dialog) { dialog.close(); });
    const std::uint64_t beepsBefore = vimora::platform::beepCount();
    box.Execute();
    Q_INIT_RESOURCE(about);

    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(vimora::platform::beepCount() - beepsBefore, std::uint64_t(1));
    TFAbout restored;
    QVERIFY(!restored.Image1->pixmap().isNull());
}

// The separator as the screen shows it: the lines are 65 high until their first painting, the
// painting that shrinks them leaves nothing behind, and the etched pair lies on rows 162-163.
void AboutTest::etchedSeparatorOnScreen() {
    TFAbout form;
    QCOMPARE(form.Line1->height(), 65);
    QCOMPARE(form.Line2->height(), 65);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE(form.Line1->height(), 10);
    QTRY_COMPARE(form.Line2->height(), 10);

    // The shrinking is painted once the window has painted what it had pending: the pair's row
    // is etched then, nothing sooner.
    const QColor face = form.palette().color(QPalette::Window);
    const auto grab = [&form] {
        return form.screen()->grabWindow(form.winId()).toImage();
    };
    QTRY_VERIFY(grab().pixelColor(86, 162) == QColor(Qt::black) && grab().pixelColor(86, 190) == face);
    const QImage shot = grab();
    QCOMPARE(shot.size(), QSize(294, 268));
    for (int x = 86; x <= 280; ++x) {
        QCOMPARE(shot.pixelColor(x, 162), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(x, 163), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(x, 190), face);
        QCOMPARE(shot.pixelColor(x, 191), face);
    }
    QCOMPARE(shot.pixelColor(281, 162), face);
    QCOMPARE(shot.pixelColor(85, 162), face);

    QWidgetList focusable;
    for (QWidget* child : form.findChildren<QWidget*>()) {
        if (child->focusPolicy() != Qt::NoFocus) {
            focusable.append(child);
        }
    }
    QCOMPARE(focusable, QWidgetList({form.Button1}));
}

// Wherever its owner stands; under a window manager the frame counts too.
void AboutTest::centredOnTheScreenFrameIncluded() {
    QWidget owner;
    owner.setGeometry(20, 20, 200, 100);
    owner.show();
    TFAbout form(&owner);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (qEnvironmentVariableIsSet("VIMORA_WINDOW_MANAGER")) {
        QTRY_VERIFY(!form.windowHandle()->frameMargins().isNull());
    }
    const QPoint centre = form.screen()->availableGeometry().center();
    const auto where = [&form, centre] {
        QString text;
        QDebug(&text) << "frame" << form.frameGeometry() << "screen centre" << centre;
        return text;
    };
    QTRY_VERIFY2((form.frameGeometry().center() - centre).manhattanLength() <= 1, qPrintable(where()));
}

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
