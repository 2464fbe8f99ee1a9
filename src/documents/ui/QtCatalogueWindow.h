// A Qt window translated through the message catalogue. Its English texts
// are taken once, at registration, and every translation starts from them,
// so switching languages back and forth never translates a translation.
#pragma once

#include "documents/CustomCatalogue.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace lumex {

class TQtCatalogueWindow : public TCatalogueWindow
{
public:
    explicit TQtCatalogueWindow(QWidget *window);

    const void *Identity() const override { return identity_; }
    void Translate(const TCustom &catalogue) override;
    void RelinkActions() override;
    void ApplyCatalogueCharset(uint8_t charset) override;

private:
    struct TOriginal
    {
        QPointer<QObject> Object;
        QString English;
        std::function<void(QObject *, const QString &)> Apply;
    };
    void Collect(QObject *object);
    void Keep(QObject *object, const QString &english, std::function<void(QObject *, const QString &)> apply);

    const void *identity_;
    QPointer<QWidget> window_;
    std::vector<TOriginal> originals_;
};

// Registers a widget with the catalogue (once per widget).
void RegisterWindow(TCustom &catalogue, QWidget *window);

} // namespace lumex
