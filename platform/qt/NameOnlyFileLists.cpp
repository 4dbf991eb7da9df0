#include "NameOnlyFileLists.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMimeDatabase>

namespace vimora::platform {

namespace {

// A file's type from its name, its icon from its kind: never from its contents.
class NameOnlyIconProvider final : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }

    QString type(const QFileInfo& info) const override {
        if (!info.isFile())
            return QFileIconProvider::type(info);
        const QMimeType mime = m_names.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    QMimeDatabase m_names;
};

// A dialog's file lists look at their folder once its event loop runs, after the dialog is shown:
// they learn the names-only provider on the show itself.
class NameOnlyFileLists final : public QObject {
public:
    explicit NameOnlyFileLists(QObject* parent)
        : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            if (auto* files = qobject_cast<QFileDialog*>(watched))
                files->setIconProvider(&m_provider);
            for (QFileSystemModel* model : watched->findChildren<QFileSystemModel*>())
                model->setIconProvider(&m_provider);
        }
        return false;
    }

private:
    NameOnlyIconProvider m_provider;
};

} // namespace

void listFilesByNameOnly(QApplication& application) {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    application.installEventFilter(new NameOnlyFileLists(&application));
}

} // namespace vimora::platform
