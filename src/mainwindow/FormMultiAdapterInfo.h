// The adapter information page: version, full version, build date and
// serial of the adapter on the line, from the latest snapshot. Its three
// buttons are enabled only while a served adapter answers; what they do is
// asked of the owner, which runs it on the device thread.
#pragma once

#include "adapter/AdapterPage.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace lumex {

class TFormMultiAdapterInfo : public QWidget
{
public:
    explicit TFormMultiAdapterInfo(QWidget *parent = nullptr);

    void SetSnapshot(const TAdapterSnapshot &snapshot);
    // The captions in the language in force, and the texts of the last
    // snapshot with them.
    void Retranslate();

    std::function<void()> OnDefaultSettings;
    std::function<void()> OnSaveToFile;
    std::function<void()> OnLoadFromFile;

private:
    TAdapterSnapshot snapshot_;
    QLabel *versionCaption_;
    QLabel *versionFullCaption_;
    QLabel *builtCaption_;
    QLabel *serialCaption_;
    QLabel *version_;
    QLabel *versionFull_;
    QLabel *built_;
    QLabel *serial_;
    QPushButton *defaults_;
    QPushButton *save_;
    QPushButton *load_;
};

} // namespace lumex
