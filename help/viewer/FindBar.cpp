#include "FindBar.h"

#include "PageFinder.h"
#include "ui_FindBar.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vimora::help {

FindBar::FindBar(PageFinder* finder, QWidget* parent)
    : QWidget(parent)
    , m_finder(finder)
    , m_ui(std::make_unique<Ui::FindBar>()) {
    m_ui->setupUi(this);
    m_ui->findPhrase->installEventFilter(this);
    m_ui->findCount->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Aucune occurrence")));
    m_ui->findClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    connect(m_ui->findPhrase, &QLineEdit::textChanged, m_finder, &PageFinder::findPhrase);
    connect(m_ui->findPrevious, &QPushButton::clicked, m_finder, &PageFinder::previous);
    connect(m_ui->findNext, &QPushButton::clicked, m_finder, &PageFinder::next);
    connect(m_ui->findClose, &QToolButton::clicked, this, &FindBar::close);
    connect(m_finder, &PageFinder::matchesChanged, this, &FindBar::showCount);
}

FindBar::~FindBar() = default;

void FindBar::open() {
    show();
    m_ui->findPhrase->setFocus(Qt::ShortcutFocusReason);
    m_ui->findPhrase->selectAll();
    if (!m_ui->findPhrase->text().isEmpty())
        m_finder->findPhrase(m_ui->findPhrase->text());
}

void FindBar::close() {
    hide();
    m_finder->clear();
    emit closed();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->findPhrase && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers().testFlag(Qt::ShiftModifier))
                m_finder->previous();
            else
                m_finder->next();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::showCount() {
    if (isHidden() || m_ui->findPhrase->text().isEmpty())
        m_ui->findCount->clear();
    else if (m_finder->matchCount() == 0)
        m_ui->findCount->setText(QStringLiteral("Aucune occurrence"));
    else
        m_ui->findCount->setText(
            QStringLiteral("%1 sur %2").arg(m_finder->current()).arg(m_finder->matchCount()));
}

} // namespace vimora::help
