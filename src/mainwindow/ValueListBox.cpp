#include "mainwindow/ValueListBox.h"

#include "configuration/ListTexts.h"
#include "documents/ui/WidgetLookup.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace lumex {

void MarkPageFilled(QComboBox *box)
{
    box->setProperty(PageFilledListProperty, true);
}

void FillValueListBox(QComboBox *box, TValueListId id, const std::function<bool(std::size_t entry)> &keep)
{
    const TValueList &list = ValueList(id);
    const std::vector<std::string> texts = ListEntryTexts(id, box->objectName().toStdString());
    box->clear();
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (keep && !keep(i))
            continue;
        box->addItem(QString::fromStdString(texts[i]), static_cast<unsigned>(list.raws[i]));
    }
    box->setCurrentIndex(-1);
}

void RefillKeepingChoice(QComboBox *box, const std::function<void()> &refill)
{
    const QSignalBlocker hold(box);
    const QVariant chosen = box->currentIndex() >= 0 ? box->currentData() : QVariant();
    refill();
    box->setCurrentIndex(chosen.isValid() ? box->findData(chosen) : -1);
}

} // namespace lumex
