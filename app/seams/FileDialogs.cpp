#include "FileDialogs.h"

#include "platform/qt/MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace FileDialogs {

namespace {

Answerer& answerer() {
    static Answerer current;
    return current;
}

// The folder the user last saved in, during this run.
QString& lastFolder() {
    static QString folder;
    return folder;
}

// The proposed name in the folder last used, else in the proposed folder, else in the home folder:
// never in a folder that does not exist, for which Qt's dialog would open on the working directory.
QString startingPath(const QString& proposedPath) {
    const QFileInfo proposed(proposedPath);
    for (const QString& folder : {lastFolder(), proposed.absolutePath(), QDir::homePath()}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return QDir(folder).filePath(proposed.fileName());
    }
    return proposedPath;
}

QString chooseSaveFileName(QWidget* parent, const SaveRequest& request, const QString& proposedPath) {
    if (answerer())
        return answerer()(request);
    // The replacement is confirmed below, the same way whoever answers.
    return QFileDialog::getSaveFileName(parent, request.title, proposedPath, request.filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

// Asked as the file dialog itself asks, in Qt's own words.
bool replaceConfirmed(QWidget* parent, const QString& path) {
    const QString question =
        QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?");
    return MessageBoxes::ask(parent, question.arg(QFileInfo(path).fileName()));
}

} // namespace

QString askSaveFileName(QWidget* parent, const SaveRequest& proposed) {
    SaveRequest request = proposed;
    request.proposedPath = startingPath(proposed.proposedPath);
    QString path = chooseSaveFileName(parent, request, request.proposedPath);
    while (!path.isEmpty() && QFileInfo::exists(path) && !replaceConfirmed(parent, path))
        path = chooseSaveFileName(parent, request, path);
    if (!path.isEmpty())
        lastFolder() = QFileInfo(path).absolutePath();
    return path;
}

void setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

} // namespace FileDialogs
