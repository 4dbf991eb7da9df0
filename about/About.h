#pragma once

#include <QDialog>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

class QLabel;
class QPushButton;

// The About box: TAboutBox, a non-visual component that keeps the product name, the version and
// the copyright notice, and shows TFAbout, a modal dialog built afresh for every showing with
// the banner, those three texts, an etched separator and the machine's memory figures.
namespace vimora {

class TLine;

namespace Ui {
class TFAbout;
}

/// The maker's notice: the About box's default copyright and the main window's status bar.
inline constexpr const char* kMakerNotice = "Copyright © 2026 Vimora Santé";

/// The longest product name, version or copyright that the component keeps.
inline constexpr int kMaxAboutTextLength = 100;

/// An ordinary failure while the dialog is being built, such as a missing resource. The
/// component answers it with a beep instead of the dialog.
class AboutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// "Mémoire physique totale : " then the total in kilobytes, rounded to the nearest one and
/// grouped by threes with the given separator, then " Ko".
QString physicalMemoryCaption(std::uint64_t totalBytes, const QString& thousandsSeparator);

/// "Ressources système      : " then the percentage, "%" and " libre.".
QString systemResourcesCaption(int freePercent);

class TFAbout : public QDialog {
    Q_OBJECT

public:
    /// Builds the dialog from its form, then runs FormCreate. Throws AboutError when the
    /// banner cannot be loaded.
    explicit TFAbout(QWidget* parent = nullptr);
    ~TFAbout() override;

    /// Beeps once and fills the two memory lines from the current memory status.
    void FormCreate();
    void Button1Click();

    // The controls of the dialog's form.
    QPushButton* Button1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblPhysMem = nullptr;
    QLabel* lblPhysRes = nullptr;
    TLine* Line1 = nullptr;
    TLine* Line2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreOnScreen();

    std::unique_ptr<Ui::TFAbout> m_ui;
};

class TAboutBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProductName READ ProductName WRITE setProductName)
    Q_PROPERTY(QString Version READ Version WRITE setVersion)
    Q_PROPERTY(QString Copyright READ Copyright WRITE setCopyright)

public:
    /// ProductName and Version start empty, Copyright as the maker's notice.
    explicit TAboutBox(QObject* owner = nullptr);

    const QString& ProductName() const { return m_productName; }
    const QString& Version() const { return m_version; }
    const QString& Copyright() const { return m_copyright; }
    /// Each setter keeps the first kMaxAboutTextLength characters.
    void setProductName(const QString& text);
    void setVersion(const QString& text);
    void setCopyright(const QString& text);

    /// Shows a fresh TFAbout modally, above the owner when it is a widget, and destroys it before
    /// returning. When building it fails with an ordinary error (std::exception), beeps and
    /// returns without showing anything; any later error destroys the dialog and reaches the
    /// caller.
    void Execute();

private:
    QString m_productName;
    QString m_version;
    QString m_copyright;
};

} // namespace vimora
