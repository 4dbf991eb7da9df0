#pragma once

#include "app/seams/FileDialogs.h"
#include "app/window/_Vimora.h"
#include "help/loader/hh.h"
#include "platform/qt/MessageBoxes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

class QAction;
class QLineEdit;
class QPrinter;

namespace vimora::test {

/// The main window for widget tests, fresh for each test function, with no help engine, and
/// every message box, file dialog and print dialog it opens answered through the program's
/// seams. A test class derives from it and calls init() and cleanup() from its own.
class MainWindowFixture {
public:
    void init();
    void cleanup();

    TfrmVimora& window() const { return *m_window; }

    /// The child of `parent` with that object name; the test stops when there is none.
    template <typename T> static T* control(const QObject& parent, const char* name) {
        T* found = parent.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no control %s", name);
        return found;
    }
    template <typename T> T* control(const char* name) const { return control<T>(window(), name); }
    QLineEdit* field(const char* name) const;
    QAction* action(const char* name) const;

    /// Types the three measures into their fields with real key presses, each field reached as
    /// by Tab.
    void typeMeasures(const QString& age, const QString& weight, const QString& height) const;
    /// Puts the three measures in their fields, unfiltered, and clicks "Calculer".
    void calculate(const QString& age, const QString& weight, const QString& height) const;

    /// The boxes shown so far, and their texts.
    QList<MessageBoxes::Box> boxes;
    QStringList reports;
    /// The answers to the next boxes, in turn; a box beyond them gets OK.
    std::deque<QMessageBox::StandardButton> boxAnswers;

    /// The save requests made so far, and the paths to answer them with in turn; a request
    /// beyond them is cancelled.
    QList<FileDialogs::SaveRequest> saveRequests;
    std::deque<QString> savePaths;

    /// The titles of the print dialogs asked for so far, and what the user does in them: by
    /// default, cancel.
    QStringList printTitles;
    std::function<bool(QPrinter& printer)> printAnswer;

private:
    // No help engine: these tests leave the help commands alone.
    const vimora::help::HelpEngineLoader m_noHelpEngine{std::string()};
    std::unique_ptr<TfrmVimora> m_window;
};

} // namespace vimora::test
