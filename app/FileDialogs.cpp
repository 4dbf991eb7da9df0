#include "FileDialogs.h"

#include "MessageBoxes.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace FileDialogs {

namespace {

Answerer& answerer() {
    static Answerer current;
    return current;
}

QString chooseSaveFileName(QWidget* parent, const SaveRequest& request, const QString& proposedPath) {
    if (answerer())
        return answerer()(request);
    // The replacement is confirmed below, the same way whoever answers.
    return QFileDialog::getSaveFileName(parent, request.title, proposedPath, request.filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

// Asked as the file dialog itself asks, in Qt's own words.
bool replaceConfirmed(QWidget* parent, const SaveRequest& request, const QString& path) {
    const QString question =
        QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?");
    return MessageBoxes::show(parent,
                              {QMessageBox::Warning, request.title, question.arg(QFileInfo(path).fileName()),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) == QMessageBox::Yes;
}

} // namespace

QString askSaveFileName(QWidget* parent, const SaveRequest& request) {
    QString path = chooseSaveFileName(parent, request, request.proposedPath);
    while (!path.isEmpty() && QFileInfo::exists(path) && !replaceConfirmed(parent, request, path))
        path = chooseSaveFileName(parent, request, path);
    return path;
}

void setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

} // namespace FileDialogs
