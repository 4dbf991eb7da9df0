#include "IndexPane.h"

#include "ChmArchive.h"
#include "FoldedText.h"
#include "ui_IndexPane.h"
#include "ui_TopicChoice.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vimora::help {

namespace {

constexpr int kKeywordRole = Qt::UserRole;

// Asks which of a keyword's topics to show; empty when the user cancels.
QUrl chooseTopic(QWidget* parent, const Keyword& keyword) {
    QDialog dialog(parent);
    Ui::TopicChoice ui;
    ui.setupUi(&dialog);
    ui.lblTopics->setText(QStringLiteral("Le mot clé «\u00A0%1\u00A0» mène à plusieurs rubriques. "
                                         "Choisissez une &rubrique :")
                              .arg(keyword.name));
    for (const KeywordTopic& topic : keyword.topics) {
        const QString title = topic.title.isEmpty() ? objectPath(topic.topic) : topic.title;
        new QListWidgetItem(title, ui.topicChoices);
    }
    ui.topicChoices->setCurrentRow(0);
    QPushButton* show = ui.buttons->addButton(QStringLiteral("&Afficher"), QDialogButtonBox::AcceptRole);
    show->setDefault(true);
    if (dialog.exec() != QDialog::Accepted || ui.topicChoices->currentRow() < 0)
        return {};
    return keyword.topics[static_cast<std::size_t>(ui.topicChoices->currentRow())].topic;
}

} // namespace

IndexPane::IndexPane(const ChmArchive& archive, QWidget* parent)
    : QWidget(parent)
    , m_archive(archive)
    , m_ui(std::make_unique<Ui::IndexPane>()) {
    m_ui->setupUi(this);
    connect(m_ui->indexWord, &QLineEdit::textEdited, this, &IndexPane::jumpTo);
    connect(m_ui->indexWord, &QLineEdit::returnPressed, this, &IndexPane::openCurrent);
    connect(m_ui->indexKeywords, &QListWidget::itemActivated, this, &IndexPane::openCurrent);
    connect(m_ui->indexShow, &QPushButton::clicked, this, &IndexPane::openCurrent);
}

IndexPane::~IndexPane() = default;

void IndexPane::focusKeyword() {
    m_ui->indexWord->setFocus(Qt::TabFocusReason);
}

void IndexPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    load();
}

void IndexPane::load() {
    if (m_loaded)
        return;
    m_loaded = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_keywords = readKeywordIndex(m_archive);
    for (std::size_t i = 0; i < m_keywords.size(); ++i) {
        const Keyword& keyword = m_keywords[i];
        // Sub-keywords are indented under their keyword.
        auto* item = new QListWidgetItem(QString(static_cast<qsizetype>(keyword.level) * 4, QChar(0x00A0)) +
                                             keyword.name,
                                         m_ui->indexKeywords);
        item->setData(kKeywordRole, static_cast<qulonglong>(i));
    }
    QApplication::restoreOverrideCursor();
    if (m_keywords.empty()) {
        m_ui->indexNote->setText(QStringLiteral("Ce fichier d'aide n'a pas d'index."));
        m_ui->indexNote->show();
        m_ui->indexWord->setEnabled(false);
        m_ui->indexKeywords->setEnabled(false);
        m_ui->indexShow->setEnabled(false);
        return;
    }
    m_ui->indexKeywords->setCurrentRow(0);
}

void IndexPane::jumpTo(const QString& typed) {
    const QString wanted = foldText(typed.trimmed()).text;
    m_ui->indexNote->hide();
    if (wanted.isEmpty())
        return;
    for (std::size_t i = 0; i < m_keywords.size(); ++i) {
        if (m_keywords[i].level == 0 && foldText(m_keywords[i].name).text.startsWith(wanted)) {
            QListWidgetItem* item = m_ui->indexKeywords->item(static_cast<int>(i));
            m_ui->indexKeywords->setCurrentItem(item);
            m_ui->indexKeywords->scrollToItem(item, QAbstractItemView::PositionAtTop);
            return;
        }
    }
    m_ui->indexKeywords->setCurrentItem(nullptr);
    m_ui->indexNote->setText(QStringLiteral("Aucun mot clé ne commence par « %1 ».").arg(typed.trimmed()));
    m_ui->indexNote->show();
}

void IndexPane::openCurrent() {
    const QListWidgetItem* item = m_ui->indexKeywords->currentItem();
    if (item == nullptr) {
        QApplication::beep();
        return;
    }
    const Keyword& keyword = m_keywords[item->data(kKeywordRole).toULongLong()];
    if (keyword.topics.empty()) {
        QApplication::beep();
        return;
    }
    const QUrl topic = keyword.topics.size() == 1 ? keyword.topics.front().topic : chooseTopic(this, keyword);
    if (!topic.isEmpty())
        emit topicChosen(topic);
}

} // namespace vimora::help
