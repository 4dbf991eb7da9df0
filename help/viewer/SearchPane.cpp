#include "SearchPane.h"

#include "FoldedText.h"
#include "ui_SearchPane.h"

#include <QApplication>

namespace vimora::help {

namespace {

constexpr int kTopicRole = Qt::UserRole;

} // namespace

SearchPane::SearchPane(const ChmArchive& archive, QWidget* parent)
    : QWidget(parent)
    , m_archive(archive)
    , m_ui(std::make_unique<Ui::SearchPane>()) {
    m_ui->setupUi(this);
    connect(m_ui->searchWords, &QLineEdit::returnPressed, this, &SearchPane::search);
    connect(m_ui->searchButton, &QPushButton::clicked, this, &SearchPane::search);
    connect(m_ui->searchResults, &QListWidget::itemActivated, this, &SearchPane::openResult);
}

SearchPane::~SearchPane() = default;

void SearchPane::focusWords() {
    m_ui->searchWords->setFocus(Qt::TabFocusReason);
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
    m_ui->searchResults->clear();
    const QString typed = m_ui->searchWords->text().simplified();
    m_words = queryWords(typed);
    if (m_words.isEmpty()) {
        m_ui->searchCount->setText(QStringLiteral("Tapez un ou plusieurs mots à rechercher."));
        return;
    }
    const std::vector<SearchResult> results = index().search(typed);
    for (const SearchResult& result : results) {
        auto* item = new QListWidgetItem(result.title, m_ui->searchResults);
        item->setData(kTopicRole, result.topic);
        item->setToolTip(result.matches == 1 ? QStringLiteral("1 occurrence")
                                             : QStringLiteral("%1 occurrences").arg(result.matches));
    }
    if (results.empty())
        m_ui->searchCount->setText(
            QStringLiteral("Aucune rubrique ne contient «\u00A0%1\u00A0».").arg(typed));
    else if (results.size() == 1)
        m_ui->searchCount->setText(QStringLiteral("1 rubrique trouvée"));
    else
        m_ui->searchCount->setText(QStringLiteral("%1 rubriques trouvées").arg(results.size()));
    if (!results.empty()) {
        m_ui->searchResults->setCurrentRow(0);
        m_ui->searchResults->setFocus(Qt::OtherFocusReason);
    }
}

void SearchPane::openResult(QListWidgetItem* item) {
    if (item != nullptr)
        emit topicChosen(item->data(kTopicRole).toUrl(), m_words);
}

} // namespace vimora::help
