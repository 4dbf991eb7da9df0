// The help viewer as the program shows it, on arbitrary bytes: the file opened through the
// engine's entry point, its contents tree built, its first page laid out and painted, then every
// viewer closed. Input that is no help file is stored in one, as its page and as its contents,
// so that short texts reach the page's and the contents' bounds. A slow input is a finding of
// libFuzzer's -timeout.

#include "StoredHelpFile.h"
#include "help/viewer/api/HtmlHelp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <cstdint>
#include <cstdlib>

using namespace vimora::platform;

// The engine's entry point, linked here rather than loaded.
extern "C" WindowHandle HtmlHelpA(WindowHandle owner, const char* file, std::uint32_t command,
                                  std::uintptr_t data);

namespace {

// Error messages are answered as soon as they show, as a user would.
class MessageBoxAnswer : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box != nullptr && event->type() == QEvent::Show)
            QMetaObject::invokeMethod(
                box, [box] { box->done(QMessageBox::Ok); }, Qt::QueuedConnection);
        return false;
    }
};

QString helpFilePath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about fonts and pages would bury libFuzzer's report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Left to the end of the process: libFuzzer leaves through exit(), and Qt's own objects must
    // not be destroyed among the other static objects.
    auto* application = new QApplication(*argc, *argv);
    application->installEventFilter(new MessageBoxAnswer);
    const QString directory =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    helpFilePath =
        QStringLiteral("%1/fuzz_help_viewer-%2.chm").arg(directory).arg(QCoreApplication::applicationPid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("ITSF"))
        bytes = stored_help_file::build({stored_help_file::systemRecord("sommaire.hhc", "index.htm", "Aide"),
                                         {"/index.htm", bytes},
                                         {"/sommaire.hhc", bytes}});
    QFile file(helpFilePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();

    const QByteArray path = QFile::encodeName(helpFilePath);
    auto* window = static_cast<QWidget*>(HtmlHelpA(desktopWindow(), path.constData(), kHhDisplayTopic, 0));
    if (window != nullptr) {
        // Lays out and paints the tree and the page, as the first showing does.
        window->grab();
        QApplication::processEvents();
    }
    HtmlHelpA(nullptr, nullptr, kHhCloseAll, 0);
    QApplication::processEvents();
    return 0;
}
