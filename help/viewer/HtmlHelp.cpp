// The help viewer engine's entry point. The program loads this library at run time and calls
// HtmlHelpA to show a help file or to close every viewer it opened. The engine works inside the
// program's own QApplication and event loop; all of its Qt objects are the viewer windows, which
// kHhCloseAll deletes at once, so the library can be unloaded right after it.
#include "HelpWindow.h"

#include "HelpLimits.h"
#include "help/viewer/api/HtmlHelp.h"
#include "platform/qt/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <type_traits>
#include <vector>

using vimora::platform::WindowHandle;

namespace vimora::help {

namespace {

// The windows this engine opened. A window the user closed deletes itself; the rest are deleted
// by kHhCloseAll, or when the library is unloaded while the application still runs.
class ViewerWindows {
public:
    ViewerWindows() = default;
    ViewerWindows(const ViewerWindows&) = delete;
    ViewerWindows& operator=(const ViewerWindows&) = delete;
    ~ViewerWindows() {
        if (QCoreApplication::instance() != nullptr)
            closeAll();
    }

    HelpWindow* find(const QString& fileKey) const {
        for (const QPointer<HelpWindow>& window : m_windows) {
            // A closed window is only waiting for its deferred deletion.
            if (!window.isNull() && !window->isHidden() && window->fileKey() == fileKey)
                return window;
        }
        return nullptr;
    }

    void add(HelpWindow* window) {
        std::erase_if(m_windows, [](const QPointer<HelpWindow>& w) { return w.isNull(); });
        m_windows.emplace_back(window);
    }

    void closeAll() {
        std::vector<QPointer<HelpWindow>> windows;
        windows.swap(m_windows);
        for (const QPointer<HelpWindow>& window : windows)
            delete window.data();
    }

private:
    std::vector<QPointer<HelpWindow>> m_windows;
};

ViewerWindows openWindows;

// The owner only counts when it is one of this application's widgets; a foreign or stale
// handle is never dereferenced.
QWidget* ownerWidget(WindowHandle owner) {
    if (owner == nullptr || owner == platform::desktopWindow())
        return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (static_cast<WindowHandle>(widget) == owner)
            return widget->window();
    }
    return nullptr;
}

QString quoted(const QString& path) {
    return QStringLiteral("«\u00A0%1\u00A0»").arg(QDir::toNativeSeparators(path));
}

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (qint64{1024} * 1024));
}

QString openFailureText(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::Unreadable:
        return QStringLiteral("Le fichier d'aide %1 ne peut pas être lu : le système en refuse l'accès ou la "
                              "lecture.");
    case OpenFailure::TooLarge:
        return QStringLiteral("Le fichier d'aide %1 est trop volumineux pour être ouvert : il dépasse %2 Mo.")
            .arg(QStringLiteral("%1"), megabytes(limits::kLargestFile));
    case OpenFailure::NotHelpFile:
        return QStringLiteral("Le fichier %1 n'est pas un fichier d'aide compilé (.chm).");
    case OpenFailure::Damaged:
        break;
    }
    return QStringLiteral("Le fichier d'aide %1 est endommagé : il ne peut pas être lu.");
}

QString contentsFailureText(ReadFailure failure) {
    if (failure == ReadFailure::TooLarge)
        return QStringLiteral(
                   "Le sommaire du fichier d'aide %1 est trop volumineux pour être lu : il dépasse %2 Mo.")
            .arg(QStringLiteral("%1"), megabytes(limits::kLargestObject));
    return QStringLiteral("Le sommaire du fichier d'aide %1 est endommagé : il ne peut pas être lu.");
}

WindowHandle displayTopic(WindowHandle owner, const char* file) {
    if (file == nullptr || *file == '\0')
        return nullptr;
    const QByteArray encodedPath(file);
    const QFileInfo info(QFile::decodeName(encodedPath));
    const QString fileKey = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();

    // Asked again, the open window shows its first topic again, wherever the user left it.
    if (HelpWindow* window = openWindows.find(fileKey)) {
        window->showHome();
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }

    QWidget* parent = ownerWidget(owner);
    if (!info.exists()) {
        MessageBoxes::showError(
            parent, QStringLiteral("Le fichier d'aide %1 est introuvable.").arg(quoted(info.filePath())));
        return nullptr;
    }
    OpenFailure openFailure = OpenFailure::Unreadable;
    std::unique_ptr<ChmArchive> archive = ChmArchive::open(encodedPath, &openFailure);
    if (!archive) {
        MessageBoxes::showError(parent, openFailureText(openFailure).arg(quoted(info.filePath())));
        return nullptr;
    }
    ReadFailure contentsFailure = ReadFailure::Damaged;
    bool contentsCut = false;
    const std::optional<std::vector<ContentsEntry>> contents =
        readContents(*archive, &contentsFailure, &contentsCut);
    if (!contents) {
        MessageBoxes::showError(parent, contentsFailureText(contentsFailure).arg(quoted(info.filePath())));
        return nullptr;
    }
    const QUrl home = firstTopic(*archive, *contents);
    if (home.isEmpty()) {
        MessageBoxes::showError(parent,
                                QStringLiteral("Le fichier d'aide %1 ne contient aucune rubrique à afficher.")
                                    .arg(quoted(info.filePath())));
        return nullptr;
    }

    auto* window = new HelpWindow(std::move(archive), *contents, contentsCut, home, fileKey, parent);
    openWindows.add(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace

} // namespace vimora::help

extern "C" __attribute__((visibility("default"))) WindowHandle
HtmlHelpA(WindowHandle owner, const char* file, std::uint32_t command, std::uintptr_t /*data*/) {
    // Widgets need the program's QApplication and its thread.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread())
        return nullptr;
    // No exception may cross into a caller that knows only the C interface.
    try {
        switch (command) {
        case vimora::platform::kHhDisplayTopic:
            return vimora::help::displayTopic(owner, file);
        case vimora::platform::kHhCloseAll:
            vimora::help::openWindows.closeAll();
            return nullptr;
        default:
            return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

static_assert(std::is_same_v<decltype(&HtmlHelpA), vimora::platform::HtmlHelpFunction>,
              "HtmlHelpA must have the entry point's signature");
