#include "MainWindowFixture.h"

#include "Version.h"
#include "app/seams/PrintDialogs.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace vimora::test {

void MainWindowFixture::init() {
    boxes.clear();
    reports.clear();
    boxAnswers.clear();
    saveRequests.clear();
    savePaths.clear();
    printTitles.clear();
    printAnswer = nullptr;
    MessageBoxes::setAnswerer([this](const MessageBoxes::Box& box) {
        boxes << box;
        reports << box.text;
        if (boxAnswers.empty())
            return QMessageBox::Ok;
        const QMessageBox::StandardButton answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    });
    FileDialogs::setAnswerer([this](const FileDialogs::SaveRequest& request) {
        saveRequests << request;
        if (savePaths.empty())
            return QString();
        QString path = savePaths.front();
        savePaths.pop_front();
        return path;
    });
    PrintDialogs::setAnswerer([this](QPrinter& printer, const QString& title) {
        printTitles << title;
        return printAnswer && printAnswer(printer);
    });
    m_window = std::make_unique<TfrmVimora>(m_noHelpEngine);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void MainWindowFixture::cleanup() {
    m_window.reset();
    // One caption on every box, whatever the window that showed it.
    for (const MessageBoxes::Box& box : boxes)
        QCOMPARE(box.title, QString::fromUtf8(vimora::kApplicationTitle));
    MessageBoxes::setAnswerer({});
    FileDialogs::setAnswerer({});
    PrintDialogs::setAnswerer({});
}

QLineEdit* MainWindowFixture::field(const char* name) const {
    return control<QLineEdit>(name);
}

QAction* MainWindowFixture::action(const char* name) const {
    return control<QAction>(name);
}

void MainWindowFixture::typeMeasures(const QString& age, const QString& weight, const QString& height) const {
    for (auto [name, text] : {std::pair{"edAge", age}, {"edPoids", weight}, {"edTaille", height}}) {
        field(name)->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field(name), text);
    }
}

void MainWindowFixture::calculate(const QString& age, const QString& weight, const QString& height) const {
    for (auto [name, text] : {std::pair{"edAge", age}, {"edPoids", weight}, {"edTaille", height}})
        field(name)->setText(text);
    control<QPushButton>("btnCalculer")->click();
}

} // namespace vimora::test
