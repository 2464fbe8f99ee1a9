#include "documents/ui/QtCatalogueWindow.h"

#include "documents/ui/WidgetLookup.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>

namespace lumex {

namespace {

// Classes the catalogue leaves alone: embedded web browsers.
bool IsExcludedClass(const QObject *object)
{
    const QString name = QString::fromLatin1(object->metaObject()->className());
    return name.contains(QLatin1String("WebEngine")) || name.contains(QLatin1String("WebView"));
}

bool IsInsideSpinBox(const QObject *object)
{
    for (const QObject *p = object->parent(); p; p = p->parent())
        if (qobject_cast<const QAbstractSpinBox *>(p))
            return true;
    return false;
}

QString Tr(const TCustom &catalogue, const QString &english)
{
    return QString::fromStdString(catalogue.Translate(english.toStdString()));
}

} // namespace

TQtCatalogueWindow::TQtCatalogueWindow(QWidget *window) : identity_(window), window_(window)
{
    if (window)
        Collect(window);
}

void TQtCatalogueWindow::Keep(QObject *object, const QString &english,
                              std::function<void(QObject *, const QString &)> apply)
{
    if (!english.isEmpty())
        originals_.push_back({object, english, std::move(apply)});
}

void TQtCatalogueWindow::Collect(QObject *object)
{
    if (IsExcludedClass(object))
        return;
    // The text of a numeric edit box is its value, not a caption; its inner
    // line edit is skipped with it. Notebook pages (stacked widgets) carry no
    // text of their own, and fonts are never touched.
    const bool numericEdit = qobject_cast<QAbstractSpinBox *>(object) || IsInsideSpinBox(object);
    if (auto *widget = qobject_cast<QWidget *>(object)) {
        if (widget->isWindow())
            Keep(object, widget->windowTitle(),
                 [](QObject *o, const QString &t) { static_cast<QWidget *>(o)->setWindowTitle(t); });
        if (!IsInsideSpinBox(object)) {
            Keep(object, widget->toolTip(),
                 [](QObject *o, const QString &t) { static_cast<QWidget *>(o)->setToolTip(t); });
            Keep(object, widget->statusTip(),
                 [](QObject *o, const QString &t) { static_cast<QWidget *>(o)->setStatusTip(t); });
        }
    }
    if (auto *action = qobject_cast<QAction *>(object)) {
        Keep(object, action->text(), [](QObject *o, const QString &t) { static_cast<QAction *>(o)->setText(t); });
        if (action->toolTip() != action->text())
            Keep(object, action->toolTip(),
                 [](QObject *o, const QString &t) { static_cast<QAction *>(o)->setToolTip(t); });
        Keep(object, action->statusTip(),
             [](QObject *o, const QString &t) { static_cast<QAction *>(o)->setStatusTip(t); });
    } else if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        auto *tool = qobject_cast<QToolButton *>(button);
        // A button driven by an action takes the action's text on relinking.
        if (!tool || !tool->defaultAction())
            Keep(object, button->text(),
                 [](QObject *o, const QString &t) { static_cast<QAbstractButton *>(o)->setText(t); });
    } else if (auto *label = qobject_cast<QLabel *>(object)) {
        Keep(object, label->text(), [](QObject *o, const QString &t) { static_cast<QLabel *>(o)->setText(t); });
    } else if (auto *group = qobject_cast<QGroupBox *>(object)) {
        Keep(object, group->title(), [](QObject *o, const QString &t) { static_cast<QGroupBox *>(o)->setTitle(t); });
    } else if (auto *menu = qobject_cast<QMenu *>(object)) {
        Keep(object, menu->title(), [](QObject *o, const QString &t) { static_cast<QMenu *>(o)->setTitle(t); });
    } else if (auto *tabs = qobject_cast<QTabWidget *>(object)) {
        for (int i = 0; i < tabs->count(); ++i)
            Keep(object, tabs->tabText(i),
                 [i](QObject *o, const QString &t) { static_cast<QTabWidget *>(o)->setTabText(i, t); });
    } else if (auto *combo = qobject_cast<QComboBox *>(object)) {
        for (int i = 0; i < combo->count(); ++i)
            Keep(object, combo->itemText(i),
                 [i](QObject *o, const QString &t) { static_cast<QComboBox *>(o)->setItemText(i, t); });
    } else if (auto *edit = qobject_cast<QLineEdit *>(object); edit && !numericEdit) {
        Keep(object, edit->placeholderText(),
             [](QObject *o, const QString &t) { static_cast<QLineEdit *>(o)->setPlaceholderText(t); });
    }
    for (QObject *child : object->children())
        Collect(child);
}

void TQtCatalogueWindow::Translate(const TCustom &catalogue)
{
    for (auto &original : originals_)
        if (original.Object)
            original.Apply(original.Object, Tr(catalogue, original.English));
}

void TQtCatalogueWindow::RelinkActions()
{
    if (!window_)
        return;
    for (QToolButton *button : window_->findChildren<QToolButton *>())
        if (QAction *action = button->defaultAction())
            button->setDefaultAction(action);
}

void TQtCatalogueWindow::ApplyCatalogueCharset(uint8_t charset)
{
    if (!window_)
        return;
    for (QWidget *widget : window_->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLabel *>(widget) ||
            qobject_cast<QComboBox *>(widget) || widget->metaObject() == &QFrame::staticMetaObject)
            widget->setProperty(CharsetProperty, charset);
    }
}

void RegisterWindow(TCustom &catalogue, QWidget *window)
{
    catalogue.RegisterWindow(std::make_unique<TQtCatalogueWindow>(window));
}

} // namespace lumex
