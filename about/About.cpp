#include "About.h"

#include "ui_About.h"

#include "platform/qt/DialogFont.h"

#include "platform/MemoryStatus.h"
#include "platform/qt/Sound.h"

#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QWindow>

#include <memory>
#include <mutex>

// Registers the banner with the resource system; outside any namespace, as Qt requires.
static void registerAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace vimora {

namespace {

// Labels size themselves to their text and are 13 pixels high.
void setAutoSizedCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->resize(label->sizeHint().width(), 13);
}

QString groupedByThrees(std::uint64_t value, const QString& separator) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) {
        digits.insert(at, separator);
    }
    return digits;
}

} // namespace

QString physicalMemoryCaption(std::uint64_t totalBytes, const QString& thousandsSeparator) {
    // Rounded half up in integers: a double would lose units above 2^53 bytes.
    const std::uint64_t kilobytes = totalBytes / 1024 + (totalBytes % 1024 >= 512 ? 1 : 0);
    return QStringLiteral("Mémoire physique totale : ") + groupedByThrees(kilobytes, thousandsSeparator) +
           QStringLiteral(" Ko");
}

QString systemResourcesCaption(int freePercent) {
    return QStringLiteral("Ressources système      : %1% libre.").arg(freePercent);
}

TFAbout::TFAbout(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TFAbout>()) {
    static std::once_flag resourcesRegistered;
    std::call_once(resourcesRegistered, registerAboutResources);
    setFont(platform::dialogFont());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);
    Button1 = m_ui->Button1;
    Image1 = m_ui->Image1;
    lblPhysMem = m_ui->lblPhysMem;
    lblPhysRes = m_ui->lblPhysRes;
    Line1 = m_ui->Line1;
    Line2 = m_ui->Line2;
    Label1 = m_ui->Label1;
    Label2 = m_ui->Label2;
    Label3 = m_ui->Label3;
    if (Image1->pixmap().isNull()) {
        throw AboutError("Ressource introuvable : " + Image1->objectName().toStdString());
    }
    // On a dense screen the banner's own @2x drawing, found by QIcon, rather than the 1x one blown up.
    Image1->setPixmap(
        QIcon(QStringLiteral(":/about/banner.png")).pixmap(Image1->pixmap().size(), devicePixelRatioF()));
    Image1->resize(Image1->pixmap().deviceIndependentSize().toSize());
    connect(Button1, &QPushButton::clicked, this, &TFAbout::Button1Click);
    FormCreate();
}

TFAbout::~TFAbout() = default;

void TFAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen();
    // A window manager adds its frame when it maps the dialog: centre it again, frame included,
    // when it is first exposed; later moves are the user's.
    windowHandle()->installEventFilter(this);
}

bool TFAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        watched->removeEventFilter(this);
        centreOnScreen();
    }
    return QDialog::eventFilter(watched, event);
}

void TFAbout::centreOnScreen() {
    QWindow* window = windowHandle();
    const QScreen* shown = screen();
    if (window == nullptr || shown == nullptr)
        return;
    QRect frame(QPoint(), geometry().marginsAdded(window->frameMargins()).size());
    frame.moveCenter(shown->availableGeometry().center());
    window->setFramePosition(frame.topLeft());
}

void TFAbout::FormCreate() { // NOLINT(readability-make-member-function-const): it fills the dialog
    platform::messageBeep(platform::kDefaultBeep);
    const platform::MemoryStatus status = platform::memoryStatus();
    setAutoSizedCaption(lblPhysMem,
                        physicalMemoryCaption(status.totalPhys, QLocale::system().groupSeparator()));
    setAutoSizedCaption(lblPhysRes, systemResourcesCaption(100 - static_cast<int>(status.memoryLoad)));
}

void TFAbout::Button1Click() {
    close();
}

TAboutBox::TAboutBox(QObject* owner)
    : QObject(owner) {
    setCopyright(QString::fromUtf8(kMakerNotice));
}

void TAboutBox::setProductName(const QString& text) {
    m_productName = text.left(kMaxAboutTextLength);
}
void TAboutBox::setVersion(const QString& text) {
    m_version = text.left(kMaxAboutTextLength);
}
void TAboutBox::setCopyright(const QString& text) {
    m_copyright = text.left(kMaxAboutTextLength);
}

void TAboutBox::Execute() {
    std::unique_ptr<TFAbout> form;
    try {
        form = std::make_unique<TFAbout>(qobject_cast<QWidget*>(parent()));
    } catch (const std::exception&) {
        platform::messageBeep(platform::kDefaultBeep);
        return;
    }
    setAutoSizedCaption(form->Label1, m_productName);
    setAutoSizedCaption(form->Label2, m_version);
    setAutoSizedCaption(form->Label3, m_copyright);
    form->exec();
}

} // namespace vimora
