#include "FindBar.h"

#include "PageFinder.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vimora::help {

FindBar::FindBar(PageFinder* finder, QWidget* parent)
    : QWidget(parent)
    , m_finder(finder)
    , m_phrase(new QLineEdit(this))
    , m_count(new QLabel(this)) {
    auto* label = new QLabel(QStringLiteral("Rechercher dans la page (Ctrl+F) :"), this);
    label->setBuddy(m_phrase);
    m_phrase->setObjectName(QStringLiteral("findPhrase"));
    m_phrase->setAccessibleName(QStringLiteral("Rechercher dans la page"));
    m_phrase->setClearButtonEnabled(true);
    m_phrase->installEventFilter(this);
    auto* previous = new QPushButton(QStringLiteral("&Précédente"), this);
    previous->setObjectName(QStringLiteral("findPrevious"));
    previous->setAccessibleName(QStringLiteral("Occurrence précédente"));
    previous->setToolTip(QStringLiteral("Occurrence précédente (Maj+F3)"));
    auto* next = new QPushButton(QStringLiteral("Suiva&nte"), this);
    next->setObjectName(QStringLiteral("findNext"));
    next->setAccessibleName(QStringLiteral("Occurrence suivante"));
    next->setToolTip(QStringLiteral("Occurrence suivante (F3)"));
    m_count->setObjectName(QStringLiteral("findCount"));
    m_count->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Aucune occurrence")));
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("findClose"));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setAutoRaise(true);
    closeButton->setAccessibleName(QStringLiteral("Fermer la recherche dans la page"));
    closeButton->setToolTip(QStringLiteral("Fermer (Échap)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(m_phrase, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_count);
    layout->addWidget(closeButton);

    connect(m_phrase, &QLineEdit::textChanged, m_finder, &PageFinder::findPhrase);
    connect(previous, &QPushButton::clicked, m_finder, &PageFinder::previous);
    connect(next, &QPushButton::clicked, m_finder, &PageFinder::next);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    connect(m_finder, &PageFinder::matchesChanged, this, &FindBar::showCount);
}

void FindBar::open() {
    show();
    m_phrase->setFocus(Qt::ShortcutFocusReason);
    m_phrase->selectAll();
    if (!m_phrase->text().isEmpty())
        m_finder->findPhrase(m_phrase->text());
}

void FindBar::close() {
    hide();
    m_finder->clear();
    emit closed();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_phrase && event->type() == QEvent::KeyPress) {
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
    if (isHidden() || m_phrase->text().isEmpty())
        m_count->clear();
    else if (m_finder->matchCount() == 0)
        m_count->setText(QStringLiteral("Aucune occurrence"));
    else
        m_count->setText(QStringLiteral("%1 sur %2").arg(m_finder->current()).arg(m_finder->matchCount()));
}

} // namespace vimora::help
