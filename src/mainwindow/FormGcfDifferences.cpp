#include "mainwindow/FormGcfDifferences.h"

#include "documents/LangManager.h"
#include "documents/MessageKeys.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumex {

namespace {

QString Text(std::string_view key)
{
    return QString::fromStdString(MessageText(key));
}

enum TColumn : int
{
    ColSetting,
    ColController,
    ColFile,
    ColumnCount
};

} // namespace

QString DifferenceSetting(const TGcfDifference &d)
{
    return QString::fromStdString("[" + d.Section + "] " + d.Key);
}

QString DifferenceValue(const std::string &value, const std::string &text)
{
    return QString::fromStdString(text.empty() || text == value ? value : value + "  (" + text + ")");
}

TFormGcfDifferences::TFormGcfDifferences(const std::vector<TGcfDifference> &differences,
                                         const std::vector<std::string> &warnings, bool asking, QWidget *parent)
    : QDialog(parent)
{
    setObjectName("TFormGcfDifferences");
    setWindowTitle(asking ? Text(msg::strSaveCnfT) : Text(msg::strGcfDifferences));
    auto *layout = new QVBoxLayout(this);

    auto *heading =
        new QLabel(differences.empty() ? Text(msg::strGcfNoDifferences) : Text(msg::strGcfDifferences), this);
    heading->setObjectName("LblGcfDifferences");
    layout->addWidget(heading);

    auto *table = new QTableWidget(static_cast<int>(differences.size()), ColumnCount, this);
    table->setObjectName("TblGcfDifferences");
    table->setHorizontalHeaderLabels(
        {Text(msg::strGcfColSetting), Text(msg::strGcfColController), Text(msg::strGcfColFile)});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < static_cast<int>(differences.size()); ++row) {
        const TGcfDifference &d = differences[static_cast<std::size_t>(row)];
        table->setItem(row, ColSetting, new QTableWidgetItem(DifferenceSetting(d)));
        table->setItem(row, ColController, new QTableWidgetItem(DifferenceValue(d.ControllerValue, d.ControllerText)));
        table->setItem(row, ColFile, new QTableWidgetItem(DifferenceValue(d.FileValue, d.FileText)));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table, 1);

    if (!warnings.empty()) {
        auto *memo = new QPlainTextEdit(this);
        memo->setObjectName("MemGcfWarnings");
        memo->setReadOnly(true);
        for (const std::string &w : warnings)
            memo->appendPlainText(QString::fromStdString(w));
        memo->setMaximumHeight(fontMetrics().lineSpacing() * 6);
        layout->addWidget(memo);
    }

    QDialogButtonBox *buttons = nullptr;
    if (asking) {
        auto *question = new QLabel(Text(msg::strSaveCnf), this);
        question->setObjectName("LblGcfQuestion");
        layout->addWidget(question);
        buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName("BtnGcfWrite");
        buttons->button(QDialogButtonBox::Cancel)->setObjectName("BtnGcfCancel");
    } else {
        buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        buttons->button(QDialogButtonBox::Close)->setObjectName("BtnGcfClose");
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 420);
}

} // namespace lumex
