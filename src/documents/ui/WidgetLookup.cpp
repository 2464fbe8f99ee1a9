#include "documents/ui/WidgetLookup.h"

namespace lumex {

namespace {

QObject *FindDepthFirst(QObject *parent, const QString &name)
{
    for (QObject *child : parent->children()) {
        if (child->objectName() == name)
            return child;
        if (QObject *found = FindDepthFirst(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

QObject *FindComponent(QObject *window, const QString &name)
{
    if (!window || name.isEmpty())
        return nullptr;
    for (QObject *child : window->children())
        if (child->objectName() == name)
            return child;
    return FindDepthFirst(window, name);
}

} // namespace lumex
