#include "SearchPane.h"

#include "FoldedText.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vimora::help {

namespace {

constexpr int kTopicRole = Qt::UserRole;

} // namespace

SearchPane::SearchPane(const ChmArchive& archive, QWidget* parent)
    : QWidget(parent)
    , m_archive(archive)
    , m_typed(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_results(new QListWidget(this)) {
    auto* wordsLabel = new QLabel(QStringLiteral("&Mots à rechercher :"), this);
    wordsLabel->setBuddy(m_typed);
    m_typed->setObjectName(QStringLiteral("searchWords"));
    m_typed->setAccessibleName(QStringLiteral("Mots à rechercher"));
    auto* button = new QPushButton(QStringLiteral("Rec&hercher"), this);
    button->setObjectName(QStringLiteral("searchButton"));
    button->setAccessibleName(QStringLiteral("Rechercher"));
    auto* resultsLabel = new QLabel(QStringLiteral("Rubri&ques trouvées :"), this);
    resultsLabel->setBuddy(m_results);
    m_results->setObjectName(QStringLiteral("searchResults"));
    m_results->setAccessibleName(QStringLiteral("Rubriques trouvées"));
    m_count->setObjectName(QStringLiteral("searchCount"));
    m_count->setWordWrap(true);
    m_count->setTextFormat(Qt::PlainText);

    auto* layout = new QGridLayout(this);
    layout->addWidget(wordsLabel, 0, 0, 1, 2);
    layout->addWidget(m_typed, 1, 0);
    layout->addWidget(button, 1, 1);
    layout->addWidget(resultsLabel, 2, 0, 1, 2);
    layout->addWidget(m_results, 3, 0, 1, 2);
    layout->addWidget(m_count, 4, 0, 1, 2);
    layout->setRowStretch(3, 1);

    connect(m_typed, &QLineEdit::returnPressed, this, &SearchPane::search);
    connect(button, &QPushButton::clicked, this, &SearchPane::search);
    connect(m_results, &QListWidget::itemActivated, this, &SearchPane::openResult);
}

void SearchPane::focusWords() {
    m_typed->setFocus(Qt::TabFocusReason);
}

void SearchPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    index();
}

const SearchIndex& SearchPane::index() {
    if (!m_index) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_index = SearchIndex::ofArchive(m_archive);
        QApplication::restoreOverrideCursor();
    }
    return *m_index;
}

void SearchPane::search() {
    m_results->clear();
    const QString typed = m_typed->text().simplified();
    m_words = queryWords(typed);
    if (m_words.isEmpty()) {
        m_count->setText(QStringLiteral("Tapez un ou plusieurs mots à rechercher."));
        return;
    }
    const std::vector<SearchResult> results = index().search(typed);
    for (const SearchResult& result : results) {
        auto* item = new QListWidgetItem(result.title, m_results);
        item->setData(kTopicRole, result.topic);
        item->setToolTip(result.matches == 1 ? QStringLiteral("1 occurrence")
                                             : QStringLiteral("%1 occurrences").arg(result.matches));
    }
    if (results.empty())
        m_count->setText(QStringLiteral("Aucune rubrique ne contient «\u00A0%1\u00A0».").arg(typed));
    else if (results.size() == 1)
        m_count->setText(QStringLiteral("1 rubrique trouvée"));
    else
        m_count->setText(QStringLiteral("%1 rubriques trouvées").arg(results.size()));
    if (!results.empty()) {
        m_results->setCurrentRow(0);
        m_results->setFocus(Qt::OtherFocusReason);
    }
}

void SearchPane::openResult(QListWidgetItem* item) {
    if (item != nullptr)
        emit topicChosen(item->data(kTopicRole).toUrl(), m_words);
}

} // namespace vimora::help
