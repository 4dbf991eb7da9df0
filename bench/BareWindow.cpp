#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

// The yardstick for start-up: a plain Qt window with a menu, a tool bar and a few edits,
// shown and left as soon as the event loop is idle.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&Fichier"));
    file->addAction(QStringLiteral("&Quitter"), &window, &QWidget::close);
    window.menuBar()->addMenu(QStringLiteral("&Aide"))->addAction(QStringLiteral("A &propos de..."));
    QToolBar* toolBar = window.addToolBar(QStringLiteral("Outils"));
    for (const char* name : {"Calculer", "Effacer", "Copier", "Aide", "Quitter"})
        toolBar->addAction(QString::fromLatin1(name));
    auto* central = new QWidget;
    auto* form = new QFormLayout(central);
    for (const char* label : {"Age", "Poids", "Taille", "IMC", "Maximum", "Minimum"})
        form->addRow(QString::fromLatin1(label), new QLineEdit);
    window.setCentralWidget(central);
    window.statusBar()->showMessage(QStringLiteral("Prêt"));
    window.show();
    QTimer::singleShot(0, &window, &QWidget::close);
    return QApplication::exec();
}
