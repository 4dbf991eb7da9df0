#include "QtTranslations.h"
#include "Version.h"
#include "app/window/_Vimora.h"
#include "help/loader/hh.h"
#include "help/loader/hh_funcs.h"
#include "platform/RegionalSettings.h"
#include "platform/qt/NameOnlyFileLists.h"
#include "records/PatientStore.h"

#include <QApplication>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
    // Module initialisation: the regional formats first, before anything converts a number.
    vimora::platform::initialiseRegionalSettings();
    vimora::records::silenceDriverMessages();
    // Then the help support, before the application object filters the arguments. It goes last,
    // in reverse: the engine is unloaded after the main window has closed the help windows.
    const vimora::help::HelpEngineLoader helpEngine;
    const vimora::help::HelpEnvironment helpEnvironment(argc, argv, helpEngine.enginePath());

    QApplication application(argc, argv);
    installQtTranslations(application);
    // The patient records' locks must outlive every folder a dialog lists.
    vimora::platform::listFilesByNameOnly(application);
    QApplication::setApplicationName(QString::fromUtf8(vimora::kApplicationTitle));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vimora.png")));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VIMORA_APP_ID));

    auto frmVimora = std::make_unique<TfrmVimora>(helpEngine);
    frmVimora->show();
    // Start-up measurements and scripted runs stop as soon as the window is up.
    if (qEnvironmentVariableIntValue("VIMORA_QUIT_AFTER_START") == 1)
        QTimer::singleShot(0, frmVimora.get(), &QWidget::close);
    const int status = QApplication::exec();
    frmVimora.reset();
    return status;
}
