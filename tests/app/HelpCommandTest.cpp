#include "app/window/_Vimora.h"
#include "help/loader/hh.h"
#include "platform/qt/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <memory>

// The help commands of the main window, with and without the help viewer engine loaded.
class HelpCommandTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void withoutTheEngineTheUserIsTold();
    void toolButtonAndMenuOpenTheSameViewer();
    void closingTheMainWindowClosesTheViewer();
    void quittingWithAViewerOpenEndsTheEventLoop();

private:
    static QList<QWidget*> viewerWindows(const TfrmVimora& window);

    // The viewer engine built in this tree, loaded afresh for each test.
    std::unique_ptr<vimora::help::HelpEngineLoader> helpEngine;
};

void HelpCommandTest::init() {
    qputenv("VIMORA_REGISTRY", VIMORA_REGISTRY_FILE);
    helpEngine = std::make_unique<vimora::help::HelpEngineLoader>();
    QVERIFY2(helpEngine->HelpEngineEntry() != nullptr, helpEngine->HelpEngineLoadError().c_str());
}

void HelpCommandTest::cleanup() {
    helpEngine.reset();
    qunsetenv("VIMORA_REGISTRY");
}

QList<QWidget*> HelpCommandTest::viewerWindows(const TfrmVimora& window) {
    QList<QWidget*> viewers;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != &window && widget->isVisible() &&
            widget->windowTitle() == QStringLiteral("Aide de Vimora XP"))
            viewers << widget;
    return viewers;
}

void HelpCommandTest::withoutTheEngineTheUserIsTold() {
    const vimora::help::HelpEngineLoader noEngine{std::string()};
    TfrmVimora window(noEngine);
    window.show();
    QList<MessageBoxes::Box> shown;
    MessageBoxes::setAnswerer([&shown](const MessageBoxes::Box& box) {
        shown << box;
        return QMessageBox::Ok;
    });
    window.findChild<QAction*>(QStringLiteral("tlbtnAide"))->trigger();
    MessageBoxes::setAnswerer({});
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.front().icon, QMessageBox::Information);
    QVERIFY2(shown.front().text.startsWith(QStringLiteral("L'aide de Vimora XP n'est pas disponible : ")),
             qPrintable(shown.front().text));
}

void HelpCommandTest::toolButtonAndMenuOpenTheSameViewer() {
    TfrmVimora window(*helpEngine);
    window.show();
    window.findChild<QAction*>(QStringLiteral("tlbtnAide"))->trigger();
    QTRY_COMPARE(viewerWindows(window).size(), 1);
    QWidget* viewer = viewerWindows(window).front();
    // A window of its own, not owned by the main window.
    QCOMPARE(viewer->parentWidget(), nullptr);
    window.findChild<QAction*>(QStringLiteral("Rubriquesdelaide1"))->trigger();
    QCOMPARE(viewerWindows(window), QList<QWidget*>{viewer});
}

void HelpCommandTest::closingTheMainWindowClosesTheViewer() {
    auto window = std::make_unique<TfrmVimora>(*helpEngine);
    window->show();
    window->findChild<QAction*>(QStringLiteral("Rubriquesdelaide1"))->trigger();
    QTRY_COMPARE(viewerWindows(*window).size(), 1);
    QPointer<QWidget> viewer = viewerWindows(*window).front();
    window->findChild<QAction*>(QStringLiteral("Quitter1"))->trigger();
    window.reset();
    QVERIFY(viewer.isNull());
}

void HelpCommandTest::quittingWithAViewerOpenEndsTheEventLoop() {
    auto window = std::make_unique<TfrmVimora>(*helpEngine);
    window->show();
    window->findChild<QAction*>(QStringLiteral("tlbtnAide"))->trigger();
    QTRY_COMPARE(viewerWindows(*window).size(), 1);

    // The program's message loop ends when the main window closes, help window or not.
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&] {
        timedOut = true;
        QApplication::quit();
    });
    watchdog.start(5000);
    QTimer::singleShot(0, window.get(),
                       [&] { window->findChild<QAction*>(QStringLiteral("Quitter1"))->trigger(); });
    QApplication::exec();
    QVERIFY(!timedOut);
    QPointer<QWidget> viewer = viewerWindows(*window).value(0);
    window.reset();
    QVERIFY(viewer.isNull());
}

QTEST_MAIN(HelpCommandTest)
#include "HelpCommandTest.moc"
