#pragma once
// Components carry their names as object names: the windows keep their components to
// themselves, and tests and the screenshot driver find them by name.
#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

// Names the object and returns it: `btnOk = Named("btnOk", new QPushButton(...))`.
template <class T>
T* Named(const char* name, T* object) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// The component of that name and type below `parent`; raises std::logic_error when there is
// none.
template <class T>
T& NamedChild(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) throw std::logic_error(std::string("no component named ") + name);
    return *child;
}
