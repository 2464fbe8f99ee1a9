#include "documents/ui/QtLanguageWindow.h"

#include "documents/ui/WidgetLookup.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

namespace lumex {

namespace {

QString ToQt(const std::string &text)
{
    return QString::fromStdString(text);
}

// A panel or a shape: a frame of its own class, not a label or a view.
bool IsPlainFrame(const QObject *object)
{
    return object->metaObject() == &QFrame::staticMetaObject;
}

// The tab widget that shows `page` as one of its tabs.
QTabWidget *TabWidgetOf(QWidget *page)
{
    auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget());
    auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
    return tabs && tabs->indexOf(page) >= 0 ? tabs : nullptr;
}

void SetHint(QObject *component, const QString &hint)
{
    if (auto *action = qobject_cast<QAction *>(component)) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
        return;
    }
    auto *widget = qobject_cast<QWidget *>(component);
    if (!widget)
        return;
    // Menus, memos, buttons, panels, labels, edits, numeric edits, check
    // and radio boxes, combo boxes, shapes and digital displays take hints;
    // group boxes, tab sheets and the rest are left alone.
    if (qobject_cast<QMenu *>(widget) || qobject_cast<QPlainTextEdit *>(widget) || qobject_cast<QTextEdit *>(widget) ||
        qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLabel *>(widget) ||
        qobject_cast<QLineEdit *>(widget) || qobject_cast<QAbstractSpinBox *>(widget) ||
        qobject_cast<QComboBox *>(widget) || qobject_cast<QLCDNumber *>(widget) || IsPlainFrame(widget))
        widget->setToolTip(hint);
}

void AppendMemoLine(QObject *memo, const QString &line)
{
    if (auto *plain = qobject_cast<QPlainTextEdit *>(memo)) {
        if (plain->document()->isEmpty())
            plain->setPlainText(line);
        else
            plain->appendPlainText(line);
    } else if (auto *rich = qobject_cast<QTextEdit *>(memo)) {
        if (rich->document()->isEmpty())
            rich->setPlainText(line);
        else
            rich->append(line);
    }
}

void SetText(QObject *component, const TComponentValue &value)
{
    const QString text = ToQt(value.Text);
    const bool clear = value.Kind == TComponentValue::TKind::Clear;
    if (qobject_cast<QPlainTextEdit *>(component) || qobject_cast<QTextEdit *>(component)) {
        if (clear) {
            if (auto *plain = qobject_cast<QPlainTextEdit *>(component))
                plain->clear();
            else
                qobject_cast<QTextEdit *>(component)->clear();
        } else if (!text.isEmpty()) {
            AppendMemoLine(component, text);
        }
        return;
    }
    if (auto *combo = qobject_cast<QComboBox *>(component)) {
        if (combo->property(PageFilledListProperty).toBool())
            return;
        if (clear)
            combo->clear();
        else if (!text.isEmpty())
            combo->addItem(text);
        return;
    }
    // "^" means something only to memos and combo boxes; elsewhere it is a
    // caption like any other.
    const QString caption = clear ? QStringLiteral("^") : text;
    if (auto *action = qobject_cast<QAction *>(component))
        action->setText(caption);
    else if (auto *menu = qobject_cast<QMenu *>(component))
        menu->setTitle(caption);
    else if (auto *button = qobject_cast<QAbstractButton *>(component))
        button->setText(caption);
    else if (auto *label = qobject_cast<QLabel *>(component))
        label->setText(caption);
    else if (auto *group = qobject_cast<QGroupBox *>(component))
        group->setTitle(caption);
    else if (auto *page = qobject_cast<QWidget *>(component)) {
        if (QTabWidget *tabs = TabWidgetOf(page))
            tabs->setTabText(tabs->indexOf(page), caption);
    }
}

bool TakesCharset(const QObject *component)
{
    return qobject_cast<const QAbstractButton *>(component) || qobject_cast<const QLabel *>(component) ||
           qobject_cast<const QComboBox *>(component) || IsPlainFrame(component);
}

} // namespace

void ApplyComponentValue(QObject *component, const TComponentValue &value, uint8_t charset)
{
    if (!component)
        return;
    if (value.Kind == TComponentValue::TKind::Hint)
        SetHint(component, ToQt(value.Text));
    else
        SetText(component, value);
    if (TakesCharset(component))
        component->setProperty(CharsetProperty, charset);
}

TQtLanguageWindow::TQtLanguageWindow(TLM &lm, TLanguageWindowId id, QWidget *window) : lm_(lm), id_(id), window_(window)
{
    lm_.AttachWindow(id_, this);
}

TQtLanguageWindow::~TQtLanguageWindow()
{
    lm_.DetachWindow(id_, this);
}

void TQtLanguageWindow::SetCaption(const std::string &caption)
{
    if (window_)
        window_->setWindowTitle(ToQt(caption));
}

void TQtLanguageWindow::SetFontCharset(uint8_t charset)
{
    if (window_)
        window_->setProperty(CharsetProperty, charset);
}

bool TQtLanguageWindow::ApplyComponentLine(const std::string &name, const TComponentValue &value, uint8_t charset)
{
    QObject *component = FindComponent(window_, ToQt(name));
    if (!component)
        return false;
    ApplyComponentValue(component, value, charset);
    return true;
}

} // namespace lumex
