#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>

// A control of a form by its object name. A missing one ends the test at once: every
// later step would only report the same fault again in a less helpful way.
template <typename T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}
